// SPDX-License-Identifier: MIT
/* See bench_device.h. One device descriptor at a time; its window is
 * anonymous memory below 4 GiB, as the session requires. */
#define _GNU_SOURCE
#include "bench_device.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#define WINDOW_SIZE 0x100000u

typedef int (*open_fn)(const char*, int, ...);
typedef void* (*mmap_fn)(void*, size_t, int, int, int, off_t);
typedef int (*ioctl_fn)(int, unsigned long, ...);
typedef int (*close_fn)(int);

/* Sets the function pointer `var` to the C library's definition of `name`. */
#define NEXT(var, name) (*(void**)(&(var)) = dlsym(RTLD_NEXT, (name)))

static int device_fd = -1;
static unsigned char* window;
static bench_device_handler handler;

void bench_device_set_handler(bench_device_handler h) { handler = h; }

static int is_device_path(const char* path) { return path && strcmp(path, "/dev/functionblocks") == 0; }

static int open_either(const char* name, const char* path, int flags, mode_t mode) {
    open_fn next_open;
    NEXT(next_open, name);
    if (!is_device_path(path)) return next_open(path, flags, mode);
    device_fd = next_open("/dev/null", O_RDWR);
    return device_fd;
}

int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return open_either("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return open_either("open64", path, flags, mode);
}

static void* map_either(const char* name, void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    mmap_fn next_mmap;
    NEXT(next_mmap, name);
    if (fd < 0 || fd != device_fd) return next_mmap(addr, length, prot, flags, fd, offset);
    void* p = next_mmap(NULL, WINDOW_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (p != MAP_FAILED) window = p;
    return p;
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    return map_either("mmap", addr, length, prot, flags, fd, offset);
}

void* mmap64(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    return map_either("mmap64", addr, length, prot, flags, fd, offset);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (fd < 0 || fd != device_fd) {
        ioctl_fn next_ioctl;
        NEXT(next_ioctl, "ioctl");
        return next_ioctl(fd, request, arg);
    }
    if (!window || !handler) {
        errno = EIO;
        return -1;
    }
    return handler(window, request);
}

int close(int fd) {
    if (fd >= 0 && fd == device_fd) device_fd = -1;
    close_fn next_close;
    NEXT(next_close, "close");
    return next_close(fd);
}
