// SPDX-License-Identifier: MIT
/*
 * board-agent: runs commands in the virtual board for `scripts/board run`.
 * Listens on a TCP port (forwarded from the workstation's loopback) and
 * serves each connection in a child process:
 *   client -> agent: u32 length, then "USER\0ARG0\0ARG1\0..." (USER empty:
 *                    root); then standard input as frames (u32 length,
 *                    bytes), a frame of length 0 closing it.
 *   agent -> client: frames (u8 stream, u32 length, bytes): stream 1 standard
 *                    output, 2 standard error, 3 the exit status (4 bytes:
 *                    the status, or 128 + the signal that ended the command).
 * Lengths are little-endian. A command that cannot be started ends with
 * status 127 and the reason on its standard error.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

enum { max_header = 1 << 20 };

static int read_full(int fd, void* buf, size_t n) {
    char* p = buf;
    while (n > 0) {
        ssize_t r = read(fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return -1;
        p += r;
        n -= (size_t)r;
    }
    return 0;
}

static int write_full(int fd, const void* buf, size_t n) {
    const char* p = buf;
    while (n > 0) {
        ssize_t r = write(fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return -1;
        p += r;
        n -= (size_t)r;
    }
    return 0;
}

static int send_frame(int sock, uint8_t stream, const void* data, uint32_t len) {
    unsigned char head[5] = {stream, len & 0xff, (len >> 8) & 0xff, (len >> 16) & 0xff, len >> 24};
    return write_full(sock, head, sizeof head) || write_full(sock, data, len) ? -1 : 0;
}

static uint32_t le32(const unsigned char* p) {
    return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

/* Copies the client's standard input frames into the command's stdin. */
static void pump_input(int sock, int in) {
    static char buf[65536];
    unsigned char head[4];
    while (read_full(sock, head, 4) == 0) {
        uint32_t len = le32(head);
        if (len == 0) break;
        while (len > 0) {
            uint32_t n = len < sizeof buf ? len : sizeof buf;
            if (read_full(sock, buf, n)) _exit(0);
            if (write_full(in, buf, n)) break; /* the command stopped reading: drop the rest */
            len -= n;
        }
    }
    _exit(0);
}

/* In the command's process: become USER (if any) and run the command. */
static void start(const char* user, char** argv) {
    static char home[512], env_user[128], env_home[600];
    const char* dir = "/";
    if (*user) {
        struct passwd* pw = getpwnam(user);
        if (!pw) {
            fprintf(stderr, "board-agent: no user %s\n", user);
            _exit(127);
        }
        if (initgroups(pw->pw_name, pw->pw_gid) || setgid(pw->pw_gid) || setuid(pw->pw_uid)) {
            perror("board-agent: becoming the user");
            _exit(127);
        }
        snprintf(home, sizeof home, "%s", pw->pw_dir);
        dir = home;
    } else {
        user = "root";
        dir = "/root";
    }
    snprintf(env_user, sizeof env_user, "USER=%s", user);
    snprintf(env_home, sizeof env_home, "HOME=%s", dir);
    char* env[] = {"PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin", env_user, env_home,
                   "LANG=C.UTF-8", NULL};
    if (chdir(dir)) (void)chdir("/");
    execvpe(argv[0], argv, env);
    fprintf(stderr, "board-agent: %s: %s\n", argv[0], strerror(errno));
    _exit(127);
}

static void serve(int sock) {
    unsigned char head[4];
    if (read_full(sock, head, 4)) _exit(1);
    uint32_t len = le32(head);
    if (len < 2 || len > max_header) _exit(1);
    char* text = calloc(len + 1, 1);
    if (!text || read_full(sock, text, len)) _exit(1);
    /* USER, then the arguments, each ended by NUL. */
    size_t count = 0;
    for (uint32_t i = 0; i < len; i++) count += text[i] == '\0';
    char** argv = calloc(count + 1, sizeof *argv);
    size_t n = 0;
    for (char* p = text; p < text + len; p += strlen(p) + 1) argv[n++] = p;
    if (n < 2) _exit(1);

    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) _exit(1);
    pid_t child = fork();
    if (child == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd = 3; fd < 1024; fd++) close(fd);
        signal(SIGPIPE, SIG_DFL);
        setsid(); /* signals to the command's group stay off the agent */
        start(argv[0], argv + 1);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    pid_t pump = fork();
    if (pump == 0) {
        close(out[0]);
        close(err[0]);
        pump_input(sock, in[1]);
    }
    close(in[1]);

    struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open_streams = 2;
    static char buf[65536];
    while (open_streams > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            ssize_t r = read(fds[i].fd, buf, sizeof buf);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                open_streams--;
            } else if (send_frame(sock, (uint8_t)(i + 1), buf, (uint32_t)r)) {
                kill(child, SIGHUP); /* the client went away */
            }
        }
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR)
        ;
    kill(pump, SIGKILL);
    waitpid(pump, NULL, 0);
    uint32_t code = WIFEXITED(status) ? (uint32_t)WEXITSTATUS(status) : 128u + (uint32_t)WTERMSIG(status);
    unsigned char word[4] = {code & 0xff, (code >> 8) & 0xff, (code >> 16) & 0xff, code >> 24};
    send_frame(sock, 3, word, 4);
    /* Closing with unread input (standard input the command left) would
     * reset the connection and could lose the frames above: say that
     * nothing more comes, then read until the client closes (bounded). */
    shutdown(sock, SHUT_WR);
    struct pollfd rest = {sock, POLLIN, 0};
    while (poll(&rest, 1, 5000) > 0 && read(sock, buf, sizeof buf) > 0) {
    }
    _exit(0);
}

int main(int argc, char** argv) {
    int port = argc > 1 ? atoi(argv[1]) : 0;
    if (port <= 0 || port > 65535) {
        fprintf(stderr, "usage: board-agent PORT\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    signal(SIGCHLD, SIG_IGN); /* connection children are not waited for */
    int s = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    struct sockaddr_in a = {.sin_family = AF_INET, .sin_port = htons((uint16_t)port)};
    if (s < 0 || bind(s, (struct sockaddr*)&a, sizeof a) || listen(s, 16)) {
        perror("board-agent");
        return 1;
    }
    for (;;) {
        int c = accept(s, NULL, NULL);
        if (c < 0) continue;
        if (fork() == 0) {
            close(s);
            signal(SIGCHLD, SIG_DFL);
            serve(c);
        }
        close(c);
    }
}
