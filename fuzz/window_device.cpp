#include "window_device.hpp"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdarg>
#include <cstring>

namespace {

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

struct device {
    int fd = -1;  // a descriptor of /dev/null while the device is open
    window_device::reply planned;
};
device& dev() {
    static device d;
    return d;
}

}  // namespace

void window_device::plan(const reply& r) { dev().planned = r; }

fuzzing::guarded_window& window_device::window() {
    static fuzzing::guarded_window w;
    return w;
}

extern "C" int open(const char* path, int flags, ...) {
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    va_list ap;
    va_start(ap, flags);
    const bool has_mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
    const unsigned mode = has_mode ? va_arg(ap, unsigned) : 0;
    va_end(ap);
    if (std::strcmp(path, "/dev/functionblocks") != 0) return real(path, flags, mode);
    return dev().fd = real("/dev/null", O_RDWR, 0);
}

extern "C" int close(int fd) {
    static const auto real = next<int (*)(int)>("close");
    if (fd == dev().fd) dev().fd = -1;
    return real(fd);
}

extern "C" void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) noexcept {
    static const auto real = next<void* (*)(void*, size_t, int, int, int, off_t)>("mmap");
    if (fd < 0 || fd != dev().fd) return real(addr, length, prot, flags, fd, offset);
    return window_device::window().base();
}

extern "C" int munmap(void* addr, size_t length) noexcept {
    static const auto real = next<int (*)(void*, size_t)>("munmap");
    if (addr == window_device::window().base()) return 0;
    return real(addr, length);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    static const auto real = next<int (*)(int, unsigned long, ...)>("ioctl");
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (fd < 0 || fd != dev().fd) return real(fd, request, arg);
    const window_device::reply& r = dev().planned;
    if (r.ioctl_fails) {
        errno = EIO;
        return -1;
    }
    fuzzing::lay_region(window_device::window().reply_header(), r.layout, r.words, r.data, true);
    return 0;
}
