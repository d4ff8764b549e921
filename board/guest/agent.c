// SPDX-License-Identifier: MIT
/*
 * board-agent: runs commands in the virtual board for `scripts/board run`
 * and `scripts/board shell`. Listens on a TCP port (forwarded from the
 * workstation's loopback) and serves each connection in a child process:
 *   client -> agent: u32 length, then NUL-ended fields: options (each
 *                    beginning with '-', none by default), USER (empty:
 *                    root), ARG0, ARG1, ...; then standard input as frames
 *                    (u32 length, bytes), a frame of length 0 closing it.
 *   agent -> client: frames (u8 stream, u32 length, bytes): stream 1 standard
 *                    output, 2 standard error, 3 the exit status (4 bytes:
 *                    the status, or 128 + the signal that ended the command).
 * Options:
 *   -tty             run the command on a pseudo-terminal of its own (a new
 *                    session, the terminal its controlling one): its output
 *                    comes as stream 1 only; the input frame of length 0
 *                    types the terminal's end-of-file character; an input
 *                    length of 0xffffffff announces a window size instead
 *                    (u16 rows, u16 columns).
 *   -term=NAME       TERM for the command (with -tty).
 *   -size=ROWSxCOLS  the terminal's first window size (with -tty; 24x80).
 * Numbers are little-endian. A command that cannot be started ends with
 * status 127 and the reason on its standard error (the terminal with -tty);
 * so does an unknown option (old agents: "no user -tty").
 */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

enum { max_header = 1 << 20 };
static const uint32_t window_size_frame = 0xffffffffu;

/* What the client asked for. */
struct request {
    int tty;
    const char* term; /* NULL: no TERM */
    struct winsize size;
    const char* user;
    char** argv;
};

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
    static unsigned char frame[5 + 65536]; /* one write a frame: fewer packets */
    unsigned char head[5] = {stream, len & 0xff, (len >> 8) & 0xff, (len >> 16) & 0xff, len >> 24};
    if (len > sizeof frame - 5) return write_full(sock, head, sizeof head) || write_full(sock, data, len) ? -1 : 0;
    memcpy(frame, head, 5);
    memcpy(frame + 5, data, len);
    return write_full(sock, frame, 5 + len);
}

static uint32_t le32(const unsigned char* p) {
    return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

/* With -tty: the terminal's master side and the command (its session). */
static int tty_master = -1;
static pid_t command_pid;

/* The client is gone: hang up the terminal's session as a closed line would
 * (its foreground job and its leader get SIGHUP, then SIGCONT). */
static void hang_up(void) {
    pid_t fg = tty_master >= 0 ? tcgetpgrp(tty_master) : -1;
    for (int sig = SIGHUP;; sig = SIGCONT) {
        if (fg > 0) kill(-fg, sig);
        kill(command_pid, sig);
        if (sig == SIGCONT) break;
    }
}

/* Copies the client's standard input frames into the command's stdin (the
 * terminal with -tty, where window sizes come in between). */
static void pump_input(int sock, int in) {
    static char buf[65536];
    unsigned char head[4];
    int dropping = 0;
    while (read_full(sock, head, 4) == 0) {
        uint32_t len = le32(head);
        if (len == window_size_frame && tty_master >= 0) {
            unsigned char w[4];
            if (read_full(sock, w, 4)) break;
            struct winsize ws = {.ws_row = (unsigned short)(w[0] | w[1] << 8),
                                 .ws_col = (unsigned short)(w[2] | w[3] << 8)};
            ioctl(in, TIOCSWINSZ, &ws); /* the terminal sends SIGWINCH */
            continue;
        }
        if (len == 0) {
            if (tty_master < 0) _exit(0);
            struct termios t;
            if (tcgetattr(in, &t) == 0) write_full(in, &t.c_cc[VEOF], 1);
            continue;
        }
        while (len > 0) {
            uint32_t n = len < sizeof buf ? len : sizeof buf;
            if (read_full(sock, buf, n)) goto lost;
            /* The command stopped reading: the rest is dropped. */
            if (!dropping && write_full(in, buf, n)) dropping = 1;
            len -= n;
        }
    }
lost:
    /* Without a terminal the command sees the end of its input; on a
     * terminal the client only closes when it goes away. */
    if (tty_master >= 0) hang_up();
    _exit(0);
}

/* In the command's process: become USER (if any) and run the command. */
static void start(const struct request* req) {
    static char home[512], env_user[128], env_home[600], env_term[160];
    const char* user = req->user;
    const char* dir = "/";
    if (*user) {
        struct passwd* pw = getpwnam(user);
        if (!pw) {
            fprintf(stderr, "board-agent: no user %s\n", user);
            _exit(127);
        }
        /* The terminal belongs to its user, as after a login. */
        if (req->tty && fchown(0, pw->pw_uid, (gid_t)-1)) perror("board-agent: the terminal's owner");
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
    snprintf(env_term, sizeof env_term, "TERM=%s", req->term ? req->term : "");
    char* env[] = {"PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
                   env_user,
                   env_home,
                   "LANG=C.UTF-8",
                   req->tty && req->term ? env_term : NULL,
                   NULL};
    if (chdir(dir)) (void)chdir("/");
    execvpe(req->argv[0], req->argv, env);
    fprintf(stderr, "board-agent: %s: %s\n", req->argv[0], strerror(errno));
    _exit(127);
}

/* Sends the exit status and ends the connection. */
static void finish(int sock, pid_t pump, uint32_t code) {
    static char buf[4096];
    if (pump > 0) {
        kill(pump, SIGKILL);
        waitpid(pump, NULL, 0);
    }
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

static uint32_t status_code(int status) {
    return WIFEXITED(status) ? (uint32_t)WEXITSTATUS(status) : 128u + (uint32_t)WTERMSIG(status);
}

/* A request that cannot be served: the reason, then status 127. */
static void refuse(int sock, const char* reason) {
    send_frame(sock, 2, reason, (uint32_t)strlen(reason));
    finish(sock, -1, 127);
}

/* Without a terminal: standard output and standard error apart. */
static void serve_pipes(int sock, const struct request* req) {
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
        start(req);
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
    finish(sock, pump, status_code(status));
}

static int child_ended[2] = {-1, -1};

static void on_child(int sig) {
    (void)sig;
    int saved = errno;
    (void)!write(child_ended[1], "", 1);
    errno = saved;
}

static double seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

/* In the command's process: the terminal as its controlling terminal and
 * its standard streams, signals as a login leaves them. */
static void start_on_terminal(const struct request* req, const char* name, int report) {
    setsid();
    int t = open(name, O_RDWR | O_NOCTTY);
    if (t < 0 || ioctl(t, TIOCSCTTY, 0)) {
        dprintf(report, "board-agent: %s: %s\n", name, strerror(errno));
        _exit(127);
    }
    dup2(t, 0);
    dup2(t, 1);
    dup2(t, 2);
    for (int fd = 3; fd < 1024; fd++)
        if (fd != report) close(fd); /* report closes itself at exec */
    /* The agent's own dispositions (and those it inherited from init: a
     * background job's ignored SIGINT) would stop Ctrl-C. */
    for (int sig = 1; sig < NSIG; sig++) signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, NULL);
    start(req);
}

/* With -tty: the command on a pseudo-terminal, its output as stream 1. */
static void serve_tty(int sock, const struct request* req) {
    static char buf[65536], name[128];
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) || unlockpt(master) || ptsname_r(master, name, sizeof name)) {
        snprintf(buf, sizeof buf, "board-agent: no pseudo-terminal: %s\n", strerror(errno));
        refuse(sock, buf);
    }
    ioctl(master, TIOCSWINSZ, &req->size);
    int started[2];
    if (pipe2(child_ended, O_CLOEXEC | O_NONBLOCK) || pipe2(started, O_CLOEXEC)) _exit(1);
    struct sigaction sa = {.sa_handler = on_child, .sa_flags = SA_RESTART | SA_NOCLDSTOP};
    sigaction(SIGCHLD, &sa, NULL);
    pid_t child = fork();
    if (child == 0) {
        close(started[0]);
        start_on_terminal(req, name, started[1]);
    }
    /* Reading the terminal before the command has it open would end at
     * once: wait until the command runs (or could not start). */
    close(started[1]);
    ssize_t said = read(started[0], buf, sizeof buf - 1);
    close(started[0]);
    if (said > 0) send_frame(sock, 2, buf, (uint32_t)said);
    tty_master = master;
    command_pid = child;
    pid_t pump = fork();
    if (pump == 0) pump_input(sock, master);

    struct pollfd fds[2] = {{master, POLLIN, 0}, {child_ended[0], POLLIN, 0}};
    int status = 0, ended = 0, gone = 0;
    while (!ended) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents) {
            ssize_t r = read(master, buf, sizeof buf);
            if (r > 0) {
                if (!gone && send_frame(sock, 1, buf, (uint32_t)r)) {
                    gone = 1;
                    hang_up();
                }
            } else if (!(r < 0 && errno == EINTR)) {
                fds[0].fd = -1; /* every process closed the terminal */
            }
        }
        if (fds[1].revents) {
            while (read(child_ended[0], buf, sizeof buf) > 0) {
            }
            ended = waitpid(child, &status, WNOHANG) == child;
        }
    }
    if (!ended)
        while (waitpid(child, &status, 0) < 0 && errno == EINTR)
            ;
    /* What the command wrote last: read until the terminal reports that
     * no one has it open, or (a background job still holds it) until it
     * is quiet for 0.1 s, within a second. */
    double deadline = seconds() + 1;
    struct pollfd last = {master, POLLIN, 0};
    while (fds[0].fd >= 0 && !gone && seconds() < deadline && poll(&last, 1, 100) > 0) {
        ssize_t r = read(master, buf, sizeof buf);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0 || send_frame(sock, 1, buf, (uint32_t)r)) break;
    }
    finish(sock, pump, status_code(status));
}

/* Reads the request: options, USER and the command. */
static void serve(int sock) {
    static char reason[256], term[128];
    unsigned char head[4];
    if (read_full(sock, head, 4)) _exit(1);
    uint32_t len = le32(head);
    if (len < 2 || len > max_header) _exit(1);
    char* text = calloc(len + 1, 1);
    if (!text || read_full(sock, text, len)) _exit(1);
    /* The fields, each ended by NUL. */
    size_t count = 0;
    for (uint32_t i = 0; i < len; i++) count += text[i] == '\0';
    char** fields = calloc(count + 1, sizeof *fields);
    size_t n = 0;
    for (char* p = text; p < text + len; p += strlen(p) + 1) fields[n++] = p;
    struct request req = {.size = {.ws_row = 24, .ws_col = 80}};
    size_t i = 0;
    for (; i < n && fields[i][0] == '-'; i++) {
        const char* o = fields[i];
        unsigned rows = 0, cols = 0;
        char extra;
        if (!strcmp(o, "-tty")) {
            req.tty = 1;
        } else if (!strncmp(o, "-term=", 6) && o[6] && strlen(o + 6) < sizeof term) {
            req.term = strcpy(term, o + 6);
        } else if (!strncmp(o, "-size=", 6) && sscanf(o + 6, "%5ux%5u%c", &rows, &cols, &extra) == 2 &&
                   rows <= 0xffff && cols <= 0xffff) {
            req.size.ws_row = (unsigned short)rows;
            req.size.ws_col = (unsigned short)cols;
        } else {
            snprintf(reason, sizeof reason, "board-agent: unknown option %.100s\n", o);
            refuse(sock, reason);
        }
    }
    if (n - i < 2) _exit(1);
    req.user = fields[i];
    req.argv = fields + i + 1;
    if (req.tty)
        serve_tty(sock, &req);
    else
        serve_pipes(sock, &req);
}

int main(int argc, char** argv) {
    int port = argc > 1 ? atoi(argv[1]) : 0;
    struct sockaddr_in a = {.sin_family = AF_INET, .sin_port = htons((uint16_t)port)};
    if (port <= 0 || port > 65535 || argc > 3 || (argc == 3 && inet_pton(AF_INET, argv[2], &a.sin_addr) != 1)) {
        fprintf(stderr, "usage: board-agent PORT [ADDRESS]   (default: every address)\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    signal(SIGCHLD, SIG_IGN); /* connection children are not waited for */
    int s = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
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
