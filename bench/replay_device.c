// SPDX-License-Identifier: MIT
/* A device that costs nothing, for timing whole processes without the
 * emulator: preloaded, the device interposer answers every ioctl by
 * placing the same recorded reply (the bytes of the file named by
 * FBREPLAY_REPLY, read when the library is loaded) in the reply region;
 * without that file every ioctl fails. Written in C and
 * linked against nothing but the C library, so that it adds nothing a board's
 * process would not have. Native only. */
#define _GNU_SOURCE
#include "interposer.h"

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define REGION_SIZE 0x80000u
#define HEADER_SIZE 24u

static unsigned char* reply;
static size_t reply_size;

static void put(unsigned char* header, int word, uint32_t value) { memcpy(header + 4 * word, &value, 4); }

static int place_reply(unsigned char* window, unsigned long request) {
    (void)request;
    if (!reply) {
        errno = EIO;
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

__attribute__((constructor)) static void load_reply(void) {
    const char* path = getenv("FBREPLAY_REPLY");
    FILE* f = path ? fopen(path, "rb") : NULL;
    if (f) {
        reply = malloc(REGION_SIZE);
        reply_size = reply ? fread(reply, 1, REGION_SIZE - HEADER_SIZE, f) : 0;
        fclose(f);
    }
    interposer_install((struct device_handler){.ioctl = place_reply});
}
