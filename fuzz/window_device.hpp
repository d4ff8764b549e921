// SPDX-License-Identifier: MIT
#pragma once
// /dev/functionblocks inside a fuzz target: opening, mapping and ioctl of the
// device node are answered here, on a guarded window (guarded_window.hpp);
// every other call goes on to the C library. Each ioctl lays the planned
// reply into the reply region.
#include <cstdint>
#include <vector>

#include "guarded_window.hpp"

namespace window_device {

struct reply {
    fuzzing::header_layout layout = fuzzing::header_layout::formatted;
    std::uint32_t words[6] = {};
    std::vector<unsigned char> data;
    bool ioctl_fails = false;
};

// What every following ioctl answers.
void plan(const reply& r);

fuzzing::guarded_window& window();

}  // namespace window_device
