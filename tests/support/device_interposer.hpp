// SPDX-License-Identifier: MIT
#pragma once
// /dev/functionblocks inside a test or fuzz program, answered by a C++
// handler through the project's device interposer (emu/interposer.h), which
// is linked into the program so that its definitions come before the C
// library's, as a preloaded shim's would.
#include <cerrno>

namespace device_interposer {

class handler {
public:
    virtual ~handler() = default;
    // Asked at every open of the device node: whether it exists (if not,
    // open fails with ENOENT).
    virtual bool present() { return true; }
    // Asked at every open of the device node: 0 opens it, else the errno
    // the open fails with (by default ENOENT when it is not present).
    virtual int open_error() { return present() ? 0 : ENOENT; }
    // Asked at every mapping of the device: 0 maps the window, else the
    // errno the mapping fails with.
    virtual int map_error() { return 0; }
    // The 1 MiB window the device maps; it stays mapped for the whole run.
    virtual unsigned char* window() = 0;
    // Answers one ioctl of the open device: the result the caller sees.
    virtual int execute(unsigned long request) = 0;
};

// The handler of every later device call (not owned).
void install(handler* h);

}  // namespace device_interposer
