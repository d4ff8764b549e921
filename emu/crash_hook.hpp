// SPDX-License-Identifier: MIT
#pragma once
// A test hook that kills the process part way through saving the state:
// with FBEMU_CRASH_AFTER=N the N-th step of the state store (each byte it writes
// to the snapshot or the journal is a step, and so is each rename or removal
// of a file) does not happen: the process sends itself SIGKILL instead.
#include <cstddef>

namespace fbemu {

// Writes all `size` bytes to `fd` (false with errno set on an error), unless
// the hook stops the process in between.
bool write_steps(int fd, const char* data, std::size_t size);

// One step that is not a write; the process dies here if it is the N-th.
void crash_point();

}  // namespace fbemu
