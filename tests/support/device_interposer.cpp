// SPDX-License-Identifier: MIT
// The C++ handler behind the project's device interposer; no exception
// leaves a handler call.
#include "device_interposer.hpp"

#include <cerrno>
#include <exception>

#include "interposer.h"

namespace {

device_interposer::handler* installed = nullptr;

int on_open() {
    const int refusal = installed->open_error();
    if (refusal == 0) return 0;
    errno = refusal;
    return -1;
}

unsigned char* on_mmap() {
    if (const int refusal = installed->map_error()) {
        errno = refusal;
        return nullptr;
    }
    try {
        return installed->window();
    } catch (const std::exception&) {
        errno = ENOMEM;
        return nullptr;
    }
}

// The handler's window is kept for the whole run; sessions only let go of it.
int on_munmap(unsigned char*) { return 0; }

int on_ioctl(unsigned char*, unsigned long request) {
    try {
        return installed->execute(request);
    } catch (const std::exception&) {
        errno = EIO;
        return -1;
    }
}

}  // namespace

void device_interposer::install(handler* h) {
    installed = h;
    interposer_install(h ? device_handler{on_ioctl, on_open, on_mmap, on_munmap, nullptr} : device_handler{});
}
