/* A device that costs nothing, for timing whole processes without the
 * emulator: preloaded, it makes /dev/functionblocks a descriptor of
 * /dev/null, maps an anonymous window below 4 GiB for it, and answers every
 * ioctl on it by placing the same recorded reply (the bytes of the file named
 * by FBREPLAY_REPLY, read at open) in the reply region. Written in C and
 * linked against nothing but the C library, so that it adds nothing a board's
 * process would not have. One device descriptor at a time; native only. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#define WINDOW_SIZE 0x100000u
#define REGION_SIZE 0x80000u
#define HEADER_SIZE 24u

static int device_fd = -1;
static unsigned char* reply;
static size_t reply_size;

typedef int (*open_fn)(const char*, int, ...);
typedef void* (*mmap_fn)(void*, size_t, int, int, int, off_t);
typedef void* (*mmap64_fn)(void*, size_t, int, int, int, off64_t);
typedef int (*ioctl_fn)(int, unsigned long, ...);
typedef int (*close_fn)(int);

/* Sets the function pointer `var` to the C library's definition of `name`. */
#define NEXT(var, name) (*(void**)(&(var)) = dlsym(RTLD_NEXT, (name)))

static int load_reply(void) {
    const char* path = getenv("FBREPLAY_REPLY");
    FILE* f = path ? fopen(path, "rb") : NULL;
    if (!f) return 0;
    free(reply);
    reply = malloc(REGION_SIZE);
    reply_size = reply ? fread(reply, 1, REGION_SIZE - HEADER_SIZE, f) : 0;
    fclose(f);
    return reply != NULL;
}

static int open_device(void) {
    if (!load_reply()) {
        errno = ENOENT;
        return -1;
    }
    open_fn next_open;
    NEXT(next_open, "open");
    device_fd = next_open("/dev/null", O_RDWR);
    return device_fd;
}

static int is_device_path(const char* path) { return path && strcmp(path, "/dev/functionblocks") == 0; }

int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (is_device_path(path)) return open_device();
    open_fn next_open;
    NEXT(next_open, "open");
    return next_open(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    if (is_device_path(path)) return open_device();
    open_fn next_open64;
    NEXT(next_open64, "open64");
    return next_open64(path, flags, mode);
}

static unsigned char* window;

static void* map_device(void) {
    mmap_fn next_mmap;
    NEXT(next_mmap, "mmap");
    void* p = next_mmap(NULL, WINDOW_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (p != MAP_FAILED) window = p;
    return p;
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    if (fd >= 0 && fd == device_fd) return map_device();
    mmap_fn next_mmap;
    NEXT(next_mmap, "mmap");
    return next_mmap(addr, length, prot, flags, fd, offset);
}

void* mmap64(void* addr, size_t length, int prot, int flags, int fd, off64_t offset) {
    if (fd >= 0 && fd == device_fd) return map_device();
    mmap64_fn next_mmap64;
    NEXT(next_mmap64, "mmap64");
    return next_mmap64(addr, length, prot, flags, fd, offset);
}

static void put(unsigned char* header, int word, uint32_t value) { memcpy(header + 4 * word, &value, 4); }

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
    if (!window) {
        errno = EINVAL;
        return -1;
    }
    unsigned char* header = window + REGION_SIZE;
    const uint32_t base = (uint32_t)(uintptr_t)header;
    put(header, 0, 0);
    put(header, 1, 0);
    put(header, 2, base + HEADER_SIZE);
    put(header, 3, base + REGION_SIZE);
    put(header, 4, base + HEADER_SIZE);
    put(header, 5, base + HEADER_SIZE + (uint32_t)reply_size);
    memcpy(header + HEADER_SIZE, reply, reply_size);
    return 0;
}

int close(int fd) {
    if (fd >= 0 && fd == device_fd) device_fd = -1;
    close_fn next_close;
    NEXT(next_close, "close");
    return next_close(fd);
}
