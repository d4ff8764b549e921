// SPDX-License-Identifier: MIT
/* side-by-side: times whole processes in turn, round after round, so that a
 * change in the machine's load falls on every command alike (the machine is
 * shared).
 *
 *   side-by-side RUNS [--preload LIBRARY] COMMAND...
 *
 * Each COMMAND is one argument, split at blanks. Standard output of the
 * commands goes to /dev/null; LIBRARY is preloaded into them only. For each
 * command one line: its program name, the median and the minimum wall time
 * (ms), the median CPU time, user plus system (ms), and the peak resident set
 * size (KiB) over all runs. A command that fails stops everything. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define MAX_ARGS 16
#define WARM_UP 5

struct command {
    char* argv[MAX_ARGS + 1];
    double* wall;
    double* cpu;
    long peak_kib;
};

static double ms(const struct timeval* t) { return (double)t->tv_sec * 1e3 + (double)t->tv_usec / 1e3; }

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static int run(struct command* c, const char* preload, int round) {
    const double start = now_ms();
    const pid_t pid = fork();
    if (pid < 0) return 0;
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, STDOUT_FILENO) < 0) _exit(127);
        if (preload) setenv("LD_PRELOAD", preload, 1);
        execv(c->argv[0], c->argv);
        _exit(127);
    }
    int status;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid) return 0;
    const double wall = now_ms() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "side-by-side: %s failed\n", c->argv[0]);
        return 0;
    }
    if (round >= 0) {
        c->wall[round] = wall;
        c->cpu[round] = ms(&usage.ru_utime) + ms(&usage.ru_stime);
        if (usage.ru_maxrss > c->peak_kib) c->peak_kib = usage.ru_maxrss;
    }
    return 1;
}

static int by_value(const void* a, const void* b) {
    const double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

static double median(double* v, int n) {
    qsort(v, (size_t)n, sizeof *v, by_value);
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

/* Splits each command, runs every round and prints the figures; 0 when all
 * went well. */
static int measure(struct command* commands, char** words, int n, int runs, const char* preload) {
    for (int i = 0; i < n; ++i) {
        int k = 0;
        for (char* word = strtok(words[i], " "); word && k < MAX_ARGS; word = strtok(NULL, " "))
            commands[i].argv[k++] = word;
        commands[i].wall = calloc((size_t)runs, sizeof(double));
        commands[i].cpu = calloc((size_t)runs, sizeof(double));
        if (k == 0 || !commands[i].wall || !commands[i].cpu) return 1;
    }
    for (int round = -WARM_UP; round < runs; ++round)
        for (int i = 0; i < n; ++i)
            if (!run(&commands[i], preload, round)) return 1;
    for (int i = 0; i < n; ++i) {
        struct command* c = &commands[i];
        const char* name = strrchr(c->argv[0], '/');
        double least = c->wall[0];
        for (int r = 1; r < runs; ++r)
            if (c->wall[r] < least) least = c->wall[r];
        printf("%s %.3f %.3f %.3f %ld\n", name ? name + 1 : c->argv[0], median(c->wall, runs), least,
               median(c->cpu, runs), c->peak_kib);
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: side-by-side RUNS [--preload LIBRARY] COMMAND...\n");
        return 2;
    }
    const int runs = atoi(argv[1]);
    int first = 2;
    const char* preload = NULL;
    if (strcmp(argv[first], "--preload") == 0 && argc > first + 1) {
        preload = argv[first + 1];
        first += 2;
    }
    const int n = argc - first;
    if (runs < 1 || n < 1) return 2;
    struct command* commands = calloc((size_t)n, sizeof *commands);
    if (!commands) return 1;
    const int status = measure(commands, argv + first, n, runs, preload);
    for (int i = 0; i < n; ++i) {
        free(commands[i].wall);
        free(commands[i].cpu);
    }
    free(commands);
    return status;
}
