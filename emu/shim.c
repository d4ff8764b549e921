// SPDX-License-Identifier: MIT
/* The preload shim: stands in for the kernel driver behind
 * /dev/functionblocks. Opening the device gives a descriptor of /dev/null
 * that stands for it; mapping that descriptor gives an anonymous 1 MiB window
 * that 32-bit addresses reach; ioctl on it runs the emulator's executor.
 * Every other call goes on to the next definition (the C library's). Written
 * in C so that the definitions match the C library's declarations exactly. */
#undef _FORTIFY_SOURCE
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>

#include "shim_bridge.h"

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif
#ifndef O_TMPFILE
#define O_TMPFILE 0
#endif

#define DEVICE_PATH "/dev/functionblocks"
#define WINDOW_SIZE 0x100000u
#define MAX_DEVICES 64

/* The next definition of a symbol, looked up once per call site. */
#define NEXT(type, name)     \
    static type next_##name; \
    if (!next_##name) *(void**)(&next_##name) = dlsym(RTLD_NEXT, #name)

typedef int (*open_fn)(const char*, int, ...);
typedef int (*openat_fn)(int, const char*, int, ...);
typedef void* (*mmap_fn)(void*, size_t, int, int, int, off_t);
typedef void* (*mmap64_fn)(void*, size_t, int, int, int, off64_t);
typedef int (*munmap_fn)(void*, size_t);
typedef int (*ioctl_fn)(int, unsigned long, ...);
typedef int (*close_fn)(int);
typedef int (*open2_fn)(const char*, int);

/* Descriptors that stand for the device, and the window mapped through each. */
struct device {
    int fd;
    unsigned char* window;
};
static struct device devices[MAX_DEVICES];
static pthread_mutex_t devices_lock = PTHREAD_MUTEX_INITIALIZER;

static struct device* find_fd(int fd) {
    for (int i = 0; i < MAX_DEVICES; ++i)
        if (devices[i].fd == fd + 1) return &devices[i];
    return NULL;
}

/* Entries hold fd + 1 so that the zeroed table is empty; find_fd(-1) finds a
 * free entry. */
static int add_device(int fd) {
    pthread_mutex_lock(&devices_lock);
    struct device* free_slot = find_fd(-1);
    if (free_slot) {
        free_slot->fd = fd + 1;
        free_slot->window = NULL;
    }
    pthread_mutex_unlock(&devices_lock);
    return free_slot != NULL;
}

static int is_device(int fd) {
    pthread_mutex_lock(&devices_lock);
    const int found = fd >= 0 && find_fd(fd) != NULL;
    pthread_mutex_unlock(&devices_lock);
    return found;
}

static unsigned char* window_of(int fd) {
    pthread_mutex_lock(&devices_lock);
    struct device* d = fd >= 0 ? find_fd(fd) : NULL;
    unsigned char* w = d ? d->window : NULL;
    pthread_mutex_unlock(&devices_lock);
    return w;
}

static void set_window(int fd, unsigned char* window) {
    pthread_mutex_lock(&devices_lock);
    struct device* d = find_fd(fd);
    if (d) d->window = window;
    pthread_mutex_unlock(&devices_lock);
}

static void forget_window(void* window) {
    pthread_mutex_lock(&devices_lock);
    for (int i = 0; i < MAX_DEVICES; ++i)
        if (devices[i].window == window) devices[i].window = NULL;
    pthread_mutex_unlock(&devices_lock);
}

static void forget_fd(int fd) {
    pthread_mutex_lock(&devices_lock);
    struct device* d = fd >= 0 ? find_fd(fd) : NULL;
    if (d) d->fd = 0, d->window = NULL;
    pthread_mutex_unlock(&devices_lock);
}

static int needs_mode(int flags) { return (flags & O_CREAT) || (O_TMPFILE && (flags & O_TMPFILE) == O_TMPFILE); }

/* The descriptor that stands for the device. */
static int open_device(int flags) {
    NEXT(open_fn, open);
    const int fd = next_open("/dev/null", O_RDWR | (flags & O_CLOEXEC));
    if (fd < 0) return fd;
    if (!add_device(fd)) {
        NEXT(close_fn, close);
        next_close(fd);
        errno = EMFILE;
        return -1;
    }
    return fd;
}

static int is_device_path(const char* path) { return path && strcmp(path, DEVICE_PATH) == 0; }

int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (needs_mode(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (is_device_path(path)) return open_device(flags);
    NEXT(open_fn, open);
    return next_open(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (needs_mode(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (is_device_path(path)) return open_device(flags);
    NEXT(open_fn, open64);
    return next_open64(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    mode_t mode = 0;
    if (needs_mode(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (is_device_path(path)) return open_device(flags);
    NEXT(openat_fn, openat);
    return next_openat(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    mode_t mode = 0;
    if (needs_mode(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (is_device_path(path)) return open_device(flags);
    NEXT(openat_fn, openat64);
    return next_openat64(dirfd, path, flags, mode);
}

int __open_2(const char* path, int flags) {
    if (is_device_path(path)) return open_device(flags);
    NEXT(open2_fn, __open_2);
    return next___open_2(path, flags);
}

int __open64_2(const char* path, int flags) {
    if (is_device_path(path)) return open_device(flags);
    NEXT(open2_fn, __open64_2);
    return next___open64_2(path, flags);
}

/* An anonymous shared window that 32-bit addresses reach, its end included. */
static void* map_window(void) {
    NEXT(mmap_fn, mmap);
    NEXT(munmap_fn, munmap);
    const int prot = PROT_READ | PROT_WRITE, flags = MAP_SHARED | MAP_ANONYMOUS;
    if (sizeof(void*) == 4) return next_mmap(NULL, WINDOW_SIZE, prot, flags, -1, 0);
    void* p;
#ifdef MAP_32BIT
    p = next_mmap(NULL, WINDOW_SIZE, prot, flags | MAP_32BIT, -1, 0);
    if (p != MAP_FAILED && (uint64_t)(uintptr_t)p + WINDOW_SIZE < 0x100000000ull) return p;
    if (p != MAP_FAILED) next_munmap(p, WINDOW_SIZE);
#endif
    for (uint64_t hint = 0x40000000ull; hint + WINDOW_SIZE < 0x100000000ull; hint += WINDOW_SIZE) {
        p = next_mmap((void*)(uintptr_t)hint, WINDOW_SIZE, prot, flags | MAP_FIXED_NOREPLACE, -1, 0);
        if (p == MAP_FAILED) continue;
        if ((uintptr_t)p == hint) return p;
        next_munmap(p, WINDOW_SIZE); /* an old kernel took the flag as a mere hint */
    }
    errno = ENOMEM;
    return MAP_FAILED;
}

static void* map_device(int fd, size_t length, long long offset) {
    if (length != WINDOW_SIZE || offset != 0) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    void* window = map_window();
    if (window != MAP_FAILED) set_window(fd, (unsigned char*)window);
    return window;
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    if (is_device(fd)) return map_device(fd, length, offset);
    NEXT(mmap_fn, mmap);
    return next_mmap(addr, length, prot, flags, fd, offset);
}

void* mmap64(void* addr, size_t length, int prot, int flags, int fd, off64_t offset) {
    if (is_device(fd)) return map_device(fd, length, offset);
    NEXT(mmap64_fn, mmap64);
    return next_mmap64(addr, length, prot, flags, fd, offset);
}

int munmap(void* addr, size_t length) {
    forget_window(addr);
    NEXT(munmap_fn, munmap);
    return next_munmap(addr, length);
}

static int device_ioctl(int fd, unsigned long request) {
    unsigned char* window = window_of(fd);
    if (!window) {
        errno = EINVAL; /* the device's window is not mapped */
        return -1;
    }
    return fbemu_shim_execute(window, request);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (is_device(fd)) return device_ioctl(fd, request);
    NEXT(ioctl_fn, ioctl);
    return next_ioctl(fd, request, arg);
}

#if UINTPTR_MAX == 0xffffffffu
/* 32-bit programs built with a 64-bit time_t call this one. */
int __ioctl_time64(int fd, unsigned long request, ...);
int __ioctl_time64(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    if (is_device(fd)) return device_ioctl(fd, request);
    NEXT(ioctl_fn, __ioctl_time64);
    if (!next___ioctl_time64) {
        errno = ENOSYS;
        return -1;
    }
    return next___ioctl_time64(fd, request, arg);
}
#endif

int close(int fd) {
    forget_fd(fd);
    NEXT(close_fn, close);
    return next_close(fd);
}
