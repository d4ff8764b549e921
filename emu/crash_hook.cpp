// SPDX-License-Identifier: MIT
// Counting the state store's steps for FBEMU_CRASH_AFTER.
#include "crash_hook.hpp"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace fbemu {
namespace {

// Only the state store calls these, under its lock.
unsigned long long steps_taken = 0;
std::string counted_for;  // the value of FBEMU_CRASH_AFTER the count belongs to

// How many more steps may be taken before the process dies; no limit when
// FBEMU_CRASH_AFTER is not a positive number. A new value counts anew.
unsigned long long steps_left() {
    const char* v = std::getenv("FBEMU_CRASH_AFTER");
    const unsigned long long limit = v ? std::strtoull(v, nullptr, 10) : 0;
    if (limit == 0) return ~0ull;
    if (counted_for != v) {
        counted_for = v;
        steps_taken = 0;
    }
    return steps_taken + 1 >= limit ? 0 : limit - 1 - steps_taken;
}

[[noreturn]] void die() {
    ::kill(::getpid(), SIGKILL);
    for (;;) ::pause();
}

}  // namespace

bool write_steps(int fd, const char* data, std::size_t size) {
    const unsigned long long left = steps_left();
    const bool dies = left < size;
    std::size_t done = 0;
    const std::size_t allowed = dies ? static_cast<std::size_t>(left) : size;
    while (done < allowed) {
        const ssize_t n = ::write(fd, data + done, allowed - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (dies) die();
    steps_taken += size;
    return true;
}

void crash_point() {
    if (steps_left() == 0) die();
    ++steps_taken;
}

}  // namespace fbemu
