// Interposes the C library calls that tarn::fb::driver makes.
#include "fake_device.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "window.hpp"

namespace {

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

struct device {
    int fd = -1;  // a descriptor of /dev/null while a session has the device open
    std::vector<unsigned char> reply;
    int result = 0;
    bool present = true;
    int opens = 0;
    std::vector<fake_device::request> requests;
    unsigned char* window_base = nullptr;  // once mapped, kept for the whole run
    testing_support::window& memory() {
        static testing_support::window w;
        window_base = w.base;
        return w;
    }
};
// Reached through a function so that calls before static initialisation find it.
device& dev() {
    static device d;
    return d;
}

}  // namespace

void fake_device::answer(const std::vector<unsigned char>& reply, int result) {
    dev().reply = reply;
    dev().result = result;
    dev().requests.clear();
}
const std::vector<fake_device::request>& fake_device::requests() { return dev().requests; }
void fake_device::set_present(bool present) { dev().present = present; }
int fake_device::open_count() { return dev().opens; }

extern "C" int open(const char* path, int flags, ...) {
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    va_list ap;
    va_start(ap, flags);
    const bool has_mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
    const unsigned mode = has_mode ? va_arg(ap, unsigned) : 0;
    va_end(ap);
    if (std::strcmp(path, "/dev/functionblocks") != 0) return real(path, flags, mode);
    ++dev().opens;
    if (!dev().present) {
        errno = ENOENT;
        return -1;
    }
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
    try {
        return dev().memory().base;
    } catch (const std::exception&) {
        errno = ENOMEM;
        return MAP_FAILED;
    }
}

extern "C" int munmap(void* addr, size_t length) noexcept {
    static const auto real = next<int (*)(void*, size_t)>("munmap");
    // The device's window is kept for the whole run; sessions only let go of it.
    if (dev().fd >= 0 && addr == dev().window_base) return 0;
    return real(addr, length);
}

extern "C" int ioctl(int fd, unsigned long code, ...) noexcept {
    static const auto real = next<int (*)(int, unsigned long, ...)>("ioctl");
    if (fd < 0 || fd != dev().fd) {
        va_list ap;
        va_start(ap, code);
        void* arg = va_arg(ap, void*);
        va_end(ap);
        return real(fd, code, arg);
    }
    dev().requests.push_back({code, dev().memory().request_bytes()});
    dev().memory().set_reply(dev().reply);
    return dev().result;
}
