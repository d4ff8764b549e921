// SPDX-License-Identifier: MIT
/* The one stand-in for /dev/functionblocks in a process: definitions of the C
 * library's open, mmap, ioctl, munmap and close families that answer for the
 * device node through the installed handler and pass every other call on.
 * The emulator's shim, the tests' fake device and the benchmarks' devices are
 * handlers of it. */
#ifndef PATCHBAY_INTERPOSER_H
#define PATCHBAY_INTERPOSER_H

#ifdef __cplusplus
extern "C" {
#endif

/* What the device does. Only ioctl is required; the others may be NULL. */
struct device_handler {
    /* One ioctl on a device descriptor whose window is mapped: returns what
     * ioctl returns, with errno set on failure. NULL: no device; the device
     * node is left to the C library. */
    int (*ioctl)(unsigned char* window, unsigned long request);
    /* Asked at every open of the device node: 0 opens it, -1 (errno set)
     * refuses. NULL: always opens. */
    int (*open)(void);
    /* The window a mapping of the device gets, or NULL (errno set). NULL: a
     * fresh anonymous 1 MiB window that 32-bit addresses reach. */
    unsigned char* (*mmap)(void);
    /* munmap of a window the handler's mmap gave: returns what munmap
     * returns. NULL: the window is unmapped. */
    int (*munmap)(unsigned char* window);
    /* Asked at every mapping that asks to be locked (MAP_LOCKED) and gets
     * the interposer's own window: non-zero locks it, so that the process's
     * locked-memory limit applies as it does to the device. NULL: not
     * locked. */
    int (*lock)(void);
};

/* Makes `handler` (copied) answer every later device call. A handler whose
 * windows come and go differently is installed only while no window is
 * mapped. */
__attribute__((visibility("hidden"))) void interposer_install(struct device_handler handler);

#ifdef __cplusplus
}
#endif
#endif
