// SPDX-License-Identifier: MIT
// The C shim calls the C++ executor through here.
#include "shim_bridge.h"

#include <cerrno>

#include "executor.hpp"

extern "C" int fbemu_shim_execute(unsigned char* window, unsigned long request) {
    try {
        return fbemu::execute(window, request);
    } catch (...) {
        errno = EIO;
        return -1;
    }
}
