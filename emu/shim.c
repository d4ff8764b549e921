// SPDX-License-Identifier: MIT
/* The preload shim: the emulator as the device behind the interposer. Each
 * ioctl on /dev/functionblocks runs the emulator's executor on the device's
 * window. With FBEMU_NODE naming a file that stands for the device node, the
 * device is used as on a board: opening it needs read and write permission on
 * that file, and its window is locked in memory, within the process's
 * locked-memory limit. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "interposer.h"
#include "shim_bridge.h"

static const char* node(void) {
    const char* path = getenv("FBEMU_NODE");
    return path && *path ? path : NULL;
}

/* The node file's permissions decide, as the device node's would. */
static int open_node(void) {
    const char* path = node();
    if (!path) return 0;
    const int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) return -1;
    const int saved = errno;
    close(fd);
    errno = saved;
    return 0;
}

static int lock_window(void) { return node() != NULL; }

__attribute__((constructor)) static void install_emulator(void) {
    interposer_install((struct device_handler){.ioctl = fbemu_shim_execute, .open = open_node, .lock = lock_window});
}
