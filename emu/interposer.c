// SPDX-License-Identifier: MIT
/* See interposer.h. Opening the device node gives a descriptor of /dev/null
 * that stands for the device; mapping it gives the handler's window; ioctl
 * on it runs the handler. Written in C so that the definitions match the C
 * library's declarations exactly; built without 64-bit file offsets or time,
 * so that each name below is the interface it says. */
#undef _FORTIFY_SOURCE
#define _GNU_SOURCE
#include "interposer.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

#define DEVICE_PATH "/dev/functionblocks"
#define WINDOW_SIZE 0x100000u
#define MAX_DEVICES 64

/* The C library's definitions, looked up once. */
static struct {
    int (*open)(const char*, int, ...);
    int (*open64)(const char*, int, ...);
    int (*openat)(int, const char*, int, ...);
    int (*openat64)(int, const char*, int, ...);
    int (*open_2)(const char*, int);
    int (*open64_2)(const char*, int);
    void* (*mmap)(void*, size_t, int, int, int, off_t);
    void* (*mmap64)(void*, size_t, int, int, int, off64_t);
    int (*munmap)(void*, size_t);
    int (*ioctl)(int, unsigned long, ...);
    int (*ioctl_time64)(int, unsigned long, ...); /* 32-bit only */
    int (*close)(int);
} next;
static pthread_once_t next_once = PTHREAD_ONCE_INIT;

#define LOOK_UP(field, name) (*(void**)(&next.field) = dlsym(RTLD_NEXT, name))

static void look_up_next(void) {
    LOOK_UP(open, "open");
    LOOK_UP(open64, "open64");
    LOOK_UP(openat, "openat");
    LOOK_UP(openat64, "openat64");
    LOOK_UP(open_2, "__open_2");
    LOOK_UP(open64_2, "__open64_2");
    LOOK_UP(mmap, "mmap");
    LOOK_UP(mmap64, "mmap64");
    LOOK_UP(munmap, "munmap");
    LOOK_UP(ioctl, "ioctl");
#if UINTPTR_MAX == 0xffffffffu
    LOOK_UP(ioctl_time64, "__ioctl_time64");
#endif
    LOOK_UP(close, "close");
}

static void look_up(void) { pthread_once(&next_once, look_up_next); }

/* Descriptors that stand for the device, the window mapped through each, and
 * the handler; all under one lock. Entries hold fd + 1 so that the zeroed
 * table is empty; find_fd(-1) finds a free entry. */
static struct {
    int fd;
    unsigned char* window;
} devices[MAX_DEVICES];
static struct device_handler handler;
static pthread_mutex_t devices_lock = PTHREAD_MUTEX_INITIALIZER;

void interposer_install(struct device_handler h) {
    pthread_mutex_lock(&devices_lock);
    handler = h;
    pthread_mutex_unlock(&devices_lock);
}

static int find_fd(int fd) {
    for (int i = 0; i < MAX_DEVICES; ++i)
        if (devices[i].fd == fd + 1) return i;
    return -1;
}

/* Whether fd stands for the device; if so, its window and the handler. */
static int look_at(int fd, unsigned char** window, struct device_handler* h) {
    if (fd < 0) return 0;
    pthread_mutex_lock(&devices_lock);
    const int i = find_fd(fd);
    if (i >= 0) *window = devices[i].window, *h = handler;
    pthread_mutex_unlock(&devices_lock);
    return i >= 0;
}

static int is_device(int fd) {
    unsigned char* window;
    struct device_handler h;
    return look_at(fd, &window, &h);
}

/* Whether path names the device and a handler answers for it; if so, the
 * handler. */
static int is_device_path(const char* path, struct device_handler* h) {
    if (!path || strcmp(path, DEVICE_PATH) != 0) return 0;
    pthread_mutex_lock(&devices_lock);
    *h = handler;
    pthread_mutex_unlock(&devices_lock);
    return h->ioctl != NULL;
}

/* The descriptor that stands for the device. */
static int open_device(const struct device_handler* h, int flags) {
    if (h->open && h->open() != 0) return -1;
    const int fd = next.open("/dev/null", O_RDWR | (flags & O_CLOEXEC));
    if (fd < 0) return fd;
    pthread_mutex_lock(&devices_lock);
    const int i = find_fd(-1);
    if (i >= 0) devices[i].fd = fd + 1, devices[i].window = NULL;
    pthread_mutex_unlock(&devices_lock);
    if (i < 0) {
        next.close(fd);
        errno = EMFILE;
        return -1;
    }
    return fd;
}

/* O_TMPFILE includes O_DIRECTORY's bits, so only all of them mean it. */
static int needs_mode(int flags) {
#ifdef O_TMPFILE
    if ((flags & O_TMPFILE) == O_TMPFILE) return 1;
#endif
    return (flags & O_CREAT) != 0;
}

/* Declares `mode`: the mode argument of an open call, read only where the
 * caller passes one. */
#define MODE_ARGUMENT(flags)       \
    mode_t mode = 0;               \
    if (needs_mode(flags)) {       \
        va_list ap;                \
        va_start(ap, flags);       \
        mode = va_arg(ap, mode_t); \
        va_end(ap);                \
    }

/* Whether opening path opens the device; if so, *fd is the result. */
static int opens_device(const char* path, int flags, int* fd) {
    look_up();
    struct device_handler h;
    if (!is_device_path(path, &h)) return 0;
    *fd = open_device(&h, flags);
    return 1;
}

int open(const char* path, int flags, ...) {
    MODE_ARGUMENT(flags);
    int fd;
    return opens_device(path, flags, &fd) ? fd : next.open(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    MODE_ARGUMENT(flags);
    int fd;
    return opens_device(path, flags, &fd) ? fd : next.open64(path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    MODE_ARGUMENT(flags);
    int fd;
    return opens_device(path, flags, &fd) ? fd : next.openat(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    MODE_ARGUMENT(flags);
    int fd;
    return opens_device(path, flags, &fd) ? fd : next.openat64(dirfd, path, flags, mode);
}

int __open_2(const char* path, int flags) {
    int fd;
    return opens_device(path, flags, &fd) ? fd : next.open_2(path, flags);
}

int __open64_2(const char* path, int flags) {
    int fd;
    return opens_device(path, flags, &fd) ? fd : next.open64_2(path, flags);
}

/* An anonymous shared window that 32-bit addresses reach, its end included. */
static void* map_low_window(void) {
    const int prot = PROT_READ | PROT_WRITE, flags = MAP_SHARED | MAP_ANONYMOUS;
    if (sizeof(void*) == 4) return next.mmap(NULL, WINDOW_SIZE, prot, flags, -1, 0);
    void* p;
#ifdef MAP_32BIT
    p = next.mmap(NULL, WINDOW_SIZE, prot, flags | MAP_32BIT, -1, 0);
    if (p != MAP_FAILED && (uint64_t)(uintptr_t)p + WINDOW_SIZE < 0x100000000ull) return p;
    if (p != MAP_FAILED) next.munmap(p, WINDOW_SIZE);
#endif
    for (uint64_t hint = 0x40000000ull; hint + WINDOW_SIZE < 0x100000000ull; hint += WINDOW_SIZE) {
        p = next.mmap((void*)(uintptr_t)hint, WINDOW_SIZE, prot, flags | MAP_FIXED_NOREPLACE, -1, 0);
        if (p == MAP_FAILED) continue;
        if ((uintptr_t)p == hint) return p;
        next.munmap(p, WINDOW_SIZE); /* an old kernel took the flag as a mere hint */
    }
    errno = ENOMEM;
    return MAP_FAILED;
}

/* A window locked in memory as the device's is: refused past the process's
 * locked-memory limit (unless it may lock any amount) with the device's
 * EAGAIN. The system call itself: the sanitizers' runtimes make mlock() do
 * nothing. */
static void* lock_window(void* p) {
    if (syscall(SYS_mlock, p, (size_t)WINDOW_SIZE) == 0) return p;
    next.munmap(p, WINDOW_SIZE);
    errno = EAGAIN;
    return MAP_FAILED;
}

/* The device maps its whole window and nothing else. */
static void* map_device(int fd, size_t length, int flags, long long offset) {
    unsigned char* window;
    struct device_handler h;
    if (!look_at(fd, &window, &h)) return MAP_FAILED;
    if (length != WINDOW_SIZE || offset != 0) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    if (h.mmap) {
        window = h.mmap();
        if (!window) return MAP_FAILED;
    } else {
        void* p = map_low_window();
        if (p != MAP_FAILED && (flags & MAP_LOCKED) && h.lock && h.lock()) p = lock_window(p);
        if (p == MAP_FAILED) return p;
        window = p;
    }
    pthread_mutex_lock(&devices_lock);
    const int i = find_fd(fd);
    if (i >= 0) devices[i].window = window;
    pthread_mutex_unlock(&devices_lock);
    return window;
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    look_up();
    if (is_device(fd)) return map_device(fd, length, flags, offset);
    return next.mmap(addr, length, prot, flags, fd, offset);
}

void* mmap64(void* addr, size_t length, int prot, int flags, int fd, off64_t offset) {
    look_up();
    if (is_device(fd)) return map_device(fd, length, flags, offset);
    return next.mmap64(addr, length, prot, flags, fd, offset);
}

int munmap(void* addr, size_t length) {
    int found = 0;
    struct device_handler h;
    pthread_mutex_lock(&devices_lock);
    for (int i = 0; i < MAX_DEVICES; ++i)
        if (addr && devices[i].window == addr) devices[i].window = NULL, found = 1;
    h = handler;
    pthread_mutex_unlock(&devices_lock);
    if (found && h.munmap) return h.munmap((unsigned char*)addr);
    look_up();
    return next.munmap(addr, length);
}

typedef int (*ioctl_fn)(int, unsigned long, ...);

/* An ioctl: run by the handler on the device, else passed on to the C
 * library's definition in *pass (ENOSYS where it has none). */
static int any_ioctl(ioctl_fn const* pass, int fd, unsigned long request, void* arg) {
    unsigned char* window;
    struct device_handler h;
    if (look_at(fd, &window, &h)) {
        if (window && h.ioctl) return h.ioctl(window, request);
        errno = EINVAL; /* the device's window is not mapped */
        return -1;
    }
    look_up();
    if (!*pass) {
        errno = ENOSYS;
        return -1;
    }
    return (*pass)(fd, request, arg);
}

/* Declares `arg`: the argument of an ioctl, passed on as it came. */
#define IOCTL_ARGUMENT(request)    \
    va_list ap;                    \
    va_start(ap, request);         \
    void* arg = va_arg(ap, void*); \
    va_end(ap)

int ioctl(int fd, unsigned long request, ...) {
    IOCTL_ARGUMENT(request);
    return any_ioctl(&next.ioctl, fd, request, arg);
}

#if UINTPTR_MAX == 0xffffffffu
/* 32-bit programs built with a 64-bit time_t call this one. */
int __ioctl_time64(int fd, unsigned long request, ...);
int __ioctl_time64(int fd, unsigned long request, ...) {
    IOCTL_ARGUMENT(request);
    return any_ioctl(&next.ioctl_time64, fd, request, arg);
}
#endif

int close(int fd) {
    if (fd >= 0) {
        pthread_mutex_lock(&devices_lock);
        const int i = find_fd(fd);
        if (i >= 0) devices[i].fd = 0, devices[i].window = NULL;
        pthread_mutex_unlock(&devices_lock);
    }
    look_up();
    return next.close(fd);
}
