// SPDX-License-Identifier: MIT
/* list-factories-c: the smallest program that does what `patchbay -l fac`
 * does, with the same output byte for byte: map the device's window, push the
 * command code, one ioctl, read the names in place from the reply, sort them
 * (dropping repeats, as a set does) and print the table in one write. It is
 * the floor that the whole-process timings compare the tool with. Every
 * cursor and length from the device is checked before it is followed. */
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#define WINDOW_SIZE 0x100000u
#define REGION_SIZE 0x80000u
#define HEADER_SIZE 24u
#define TAG_INT32 102u
#define TAG_STRING 108u
#define LIST_FACTORIES 16u

enum { POP_COUNT, PUSH_COUNT, BEGIN, END, READ_CURSOR, WRITE_CURSOR };

static uint32_t get(const unsigned char* header, int word) {
    uint32_t w;
    memcpy(&w, header + 4 * word, 4);
    return w;
}
static void set(unsigned char* header, int word, uint32_t w) { memcpy(header + 4 * word, &w, 4); }

static void format(unsigned char* header) {
    const uint32_t base = (uint32_t)(uintptr_t)header;
    set(header, POP_COUNT, 0);
    set(header, PUSH_COUNT, 0);
    set(header, BEGIN, base + HEADER_SIZE);
    set(header, END, base + REGION_SIZE);
    set(header, READ_CURSOR, base + HEADER_SIZE);
    set(header, WRITE_CURSOR, base + HEADER_SIZE);
}

/* The unread reply, checked against the reply region. */
struct reply {
    const unsigned char* at;
    uint32_t left;
};

static int open_reply(const unsigned char* header, struct reply* r) {
    const uint32_t base = (uint32_t)(uintptr_t)header;
    const uint32_t b = get(header, BEGIN), e = get(header, END);
    const uint32_t rc = get(header, READ_CURSOR), wc = get(header, WRITE_CURSOR);
    if (b != base + HEADER_SIZE || e > base + REGION_SIZE || rc < b || rc > wc || wc > e) return 0;
    r->at = (const unsigned char*)(uintptr_t)rc;
    r->left = wc - rc;
    return 1;
}

static int take_int(struct reply* r, int32_t* v) {
    if (r->left < 8 || get(r->at, 0) != TAG_INT32) return 0;
    memcpy(v, r->at + 4, 4);
    r->at += 8;
    r->left -= 8;
    return 1;
}

struct name {
    const char* chars;
    uint32_t length;
};

static int take_name(struct reply* r, struct name* n) {
    if (r->left < 8 || get(r->at, 0) != TAG_STRING) return 0;
    const uint32_t length = get(r->at, 1);
    if (length == 0 || length > r->left - 8) return 0;
    n->chars = (const char*)r->at + 8;
    n->length = length - 1; /* without the NUL */
    r->at += 8 + length;
    r->left -= 8 + length;
    return 1;
}

static int compare_names(const void* a, const void* b) {
    const struct name* x = a;
    const struct name* y = b;
    const int c = memcmp(x->chars, y->chars, x->length < y->length ? x->length : y->length);
    if (c != 0) return c;
    return x->length < y->length ? -1 : x->length > y->length;
}

static void rule(void) { fputs("-------------------------------------\n", stdout); }

static int fail(const char* why) {
    fflush(stdout);
    fprintf(stderr, "list-factories-c: %s\n", why);
    return 1;
}

int main(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) printf("argv[%d]: %s\n", i, argv[i]);
    printf("patchbay: argc = %d\n", argc);

    const int fd = open("/dev/functionblocks", O_RDWR);
    if (fd < 0) return fail("cannot open /dev/functionblocks");
    unsigned char* window = mmap(NULL, WINDOW_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (window == MAP_FAILED) return fail("cannot map /dev/functionblocks");
    if ((uintptr_t)window > 0xffffffffu - WINDOW_SIZE) return fail("window above 4 GiB");
    unsigned char* request = window;
    unsigned char* reply_header = window + REGION_SIZE;
    format(request);
    format(reply_header);

    const uint32_t command[2] = {TAG_INT32, LIST_FACTORIES};
    memcpy(request + HEADER_SIZE, command, sizeof command);
    set(request, PUSH_COUNT, 1);
    set(request, WRITE_CURSOR, get(request, BEGIN) + sizeof command);
    if (ioctl(fd, 1) != 0) return fail("list_factories: ioctl failed");

    struct reply r;
    int32_t status, count;
    if (!open_reply(reply_header, &r) || !take_int(&r, &status) || status != 0 || !take_int(&r, &count))
        return fail("list_factories: bad reply");
    printf("list factories: count = %d\n", count);
    struct name* names = malloc(sizeof *names * (count > 0 ? (size_t)count : 1));
    if (names == NULL) return fail("out of memory");
    for (int32_t i = 0; i < count; ++i) {
        if (!take_name(&r, &names[i])) {
            free(names);
            return fail("list_factories: bad reply");
        }
    }
    qsort(names, count > 0 ? (size_t)count : 0, sizeof *names, compare_names);

    printf("%10s |%25s\n", "  No.", "  factory");
    rule();
    int row = 1;
    for (int32_t i = 0; i < count; ++i) {
        if (i > 0 && compare_names(&names[i - 1], &names[i]) == 0) continue;
        printf("| %8d |\033[1;32m%*s", row++, names[i].length < 24 ? (int)(24 - names[i].length) : 0, "");
        fwrite(names[i].chars, 1, names[i].length, stdout);
        fputs("\033[0m |\n", stdout);
        rule();
    }
    free(names);
    fputs("patchbay finished\n", stdout);
    return 0;
}
