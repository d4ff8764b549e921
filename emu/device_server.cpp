// SPDX-License-Identifier: MIT
// fbemu-device-server: executes the ioctls of the simulated /dev/functionblocks
// of a virtual board. It takes each request from the module's server node,
// maps the calling client's window, runs the emulator's executor on it and
// answers with the result; the network lives in FBEMU_STATE as for fbemu.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <tarn/fb/driver.hpp>

#include "fbsim_server.h"
#include "foreign_window.hpp"

namespace {

constexpr const char* usage =
    "usage: fbemu-device-server [--help]\n"
    "\n"
    "Serves the simulated function-block device of a virtual board: executes\n"
    "every ioctl on /dev/functionblocks against the network in $FBEMU_STATE.\n"
    "Runs until killed; ioctls fail while no server runs.\n";

// Runs one request in the client's window; the ioctl's result.
int serve(int node, const fbsim_request& req) {
    const off_t offset = static_cast<off_t>(req.window) * tarn::fb::window_size;
    void* p = ::mmap(nullptr, tarn::fb::window_size, PROT_READ | PROT_WRITE, MAP_SHARED, node, offset);
    if (p == MAP_FAILED) return -EFAULT;  // the client closed its device meanwhile
    auto* window = static_cast<unsigned char*>(p);
    const int r = fbemu::execute_for(window, req.caller_base, req.request) == 0 ? 0 : -errno;
    ::munmap(p, tarn::fb::window_size);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        const bool help = std::strcmp(argv[1], "--help") == 0;
        std::fputs(usage, help ? stdout : stderr);
        return help ? 0 : 2;
    }
    const int node = ::open(FBSIM_SERVER_NODE, O_RDWR | O_CLOEXEC);
    if (node < 0) {
        std::fprintf(stderr, "fbemu-device-server: %s: %s\n", FBSIM_SERVER_NODE, std::strerror(errno));
        return 1;
    }
    for (;;) {
        fbsim_request req;
        const ssize_t n = ::read(node, &req, sizeof req);
        if (n < 0 && errno == EINTR) continue;
        if (n != static_cast<ssize_t>(sizeof req)) {
            std::fprintf(stderr, "fbemu-device-server: reading a request: %s\n",
                         n < 0 ? std::strerror(errno) : "short record");
            return 1;
        }
        const fbsim_answer answer{req.id, serve(node, req)};
        if (::write(node, &answer, sizeof answer) != static_cast<ssize_t>(sizeof answer) && errno != EINTR) {
            std::fprintf(stderr, "fbemu-device-server: answering: %s\n", std::strerror(errno));
            return 1;
        }
    }
}
