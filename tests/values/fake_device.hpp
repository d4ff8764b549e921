#pragma once
// A stand-in for /dev/functionblocks inside one test program. open, mmap,
// munmap, close and ioctl of the device node are answered here: the window is
// a test window below 4 GiB, and each ioctl records the request and places
// the reply set by answer(). Every other call goes on to the C library.
#include <cstdint>
#include <vector>

namespace fake_device {

struct request {
    unsigned long code;                  // the ioctl request number
    std::vector<unsigned char> bytes;    // begin..write_cursor of the request region
};

// The reply placed by every following ioctl and the ioctl's result.
void answer(const std::vector<unsigned char>& reply, int result = 0);
// The requests executed since the last answer().
const std::vector<request>& requests();

}  // namespace fake_device
