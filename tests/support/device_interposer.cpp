// SPDX-License-Identifier: MIT
#include "device_interposer.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <exception>

namespace {

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

device_interposer::handler* installed = nullptr;
int device_fd = -1;  // a descriptor of /dev/null while the device is open

}  // namespace

void device_interposer::install(handler* h) { installed = h; }

extern "C" int open(const char* path, int flags, ...) {
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    va_list ap;
    va_start(ap, flags);
    const bool has_mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
    const unsigned mode = has_mode ? va_arg(ap, unsigned) : 0;
    va_end(ap);
    if (!installed || std::strcmp(path, "/dev/functionblocks") != 0) return real(path, flags, mode);
    if (!installed->present()) {
        errno = ENOENT;
        return -1;
    }
    return device_fd = real("/dev/null", O_RDWR, 0);
}

extern "C" int close(int fd) {
    static const auto real = next<int (*)(int)>("close");
    if (fd >= 0 && fd == device_fd) device_fd = -1;
    return real(fd);
}

extern "C" void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) noexcept {
    static const auto real = next<void* (*)(void*, size_t, int, int, int, off_t)>("mmap");
    if (fd < 0 || fd != device_fd) return real(addr, length, prot, flags, fd, offset);
    try {
        return installed->window();
    } catch (const std::exception&) {
        errno = ENOMEM;
        return MAP_FAILED;
    }
}

extern "C" int munmap(void* addr, size_t length) noexcept {
    static const auto real = next<int (*)(void*, size_t)>("munmap");
    // The device's window is kept for the whole run; sessions only let go of it.
    if (device_fd >= 0 && installed && addr == installed->window()) return 0;
    return real(addr, length);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    static const auto real = next<int (*)(int, unsigned long, ...)>("ioctl");
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (fd < 0 || fd != device_fd) return real(fd, request, arg);
    try {
        return installed->execute(request);
    } catch (const std::exception&) {
        errno = EIO;
        return -1;
    }
}
