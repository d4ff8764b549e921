// SPDX-License-Identifier: MIT
#pragma once
// Large emulated networks for the scale benchmarks: the default network grown
// to a given number of blocks, written as a state file.
#include <string>

namespace bench {

// Writes the default network grown to `blocks` blocks (at least its own 7) to
// `path` as a state file, with a modification time a minute in the past, and
// removes whatever journal an earlier state left beside it. Every added
// block is a gain stage fed by the one before it, so the listings of ports
// have connections to walk.
void write_scaled_network(const std::string& path, int blocks);

// The name of the added block `i` (from 0).
std::string scaled_block_name(int i);

}  // namespace bench
