// SPDX-License-Identifier: MIT
#pragma once
// fbdump --watch: one JSON line on standard output per change of the network.
#include "options.hpp"

namespace fbdump {

// Reads the network again and again, at the pace the walk's cost sets
// (stated once on standard error), and prints each change as one line.
// Returns only by throwing: the device failed, or standard output closed.
[[noreturn]] void watch(const options& o);

}  // namespace fbdump
