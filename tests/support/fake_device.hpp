// SPDX-License-Identifier: MIT
#pragma once
// A stand-in for /dev/functionblocks inside one test program: open, mmap,
// munmap, close and ioctl of the device node are answered here (the window is
// a test window below 4 GiB); every other call goes on to the C library.
#include <vector>

namespace fake_device {

struct request {
    unsigned long code;                // the ioctl request number
    std::vector<unsigned char> bytes;  // the request region's content
};

// Every following ioctl records its request, places `reply` in the reply
// region and returns `result`.
void answer(const std::vector<unsigned char>& reply, int result = 0);
// The requests since the last answer().
const std::vector<request>& requests();
// Whether the device node exists; when it does not, open fails with ENOENT.
void set_present(bool present);
// How often the device node was opened.
int open_count();
// Opening the present node fails with `open_errno`, mapping it with
// `map_errno` (0: succeeds).
void refuse(int open_errno, int map_errno);

}  // namespace fake_device
