// SPDX-License-Identifier: MIT
/* The device inside the benchmark program: this program's own open, mmap,
 * ioctl and close stand for /dev/functionblocks (the session in libtarn-fb
 * calls them like any other), and an ioctl on it runs the handler set here.
 * Every other call goes on to the C library. */
#ifndef BENCH_DEVICE_H
#define BENCH_DEVICE_H

#ifdef __cplusplus
extern "C" {
#endif

/* What the device does on ioctl: gets the window and the request, returns
 * what ioctl returns. */
typedef int (*bench_device_handler)(unsigned char* window, unsigned long request);

void bench_device_set_handler(bench_device_handler handler);

#ifdef __cplusplus
}
#endif

#endif
