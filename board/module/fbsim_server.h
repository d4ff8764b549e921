/* SPDX-License-Identifier: MIT OR GPL-2.0 */
/* The records the simulated device exchanges with its server through
 * /dev/functionblocks-server: read one request, map the caller's window at
 * offset window * 1 MiB, write one answer. */
#ifndef FBSIM_SERVER_H
#define FBSIM_SERVER_H
#include <linux/types.h>

#define FBSIM_SERVER_NODE "/dev/functionblocks-server"

/* One ioctl to execute. */
struct fbsim_request {
	__u32 id;          /* answered with this id */
	__u32 request;     /* the ioctl request number, 0 or 1 */
	__u32 caller_base; /* where the window is mapped in the caller */
	__u32 window;      /* mmap offset of the caller's window, in MiB */
};

/* The result of one request. */
struct fbsim_answer {
	__u32 id;
	__s32 result; /* 0, or a negative errno for the ioctl to fail with */
};

#endif
