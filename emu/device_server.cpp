// SPDX-License-Identifier: MIT
// fbemu-device-server: executes the ioctls of the simulated /dev/functionblocks
// of a virtual board. It takes each request from the module's server node,
// maps the calling client's window, runs the emulator's executor on it and
// answers with the result; the network lives in FBEMU_STATE as for fbemu.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/region.hpp>

#include "executor.hpp"
#include "fbsim_server.h"
#include "foreign_window.hpp"

namespace {

constexpr const char* usage =
    "usage: fbemu-device-server [--help]\n"
    "\n"
    "Serves the simulated function-block device of a virtual board: executes\n"
    "every ioctl on /dev/functionblocks against the network in $FBEMU_STATE.\n"
    "Runs until killed; ioctls fail while no server runs. Under systemd\n"
    "(Type=notify) it reports itself ready once it serves the device.\n";

// Tells the service manager that named a socket in NOTIFY_SOCKET (systemd's
// Type=notify) that the device is served, so units ordered after this one
// find working ioctls. A name starting with '@' is in the abstract namespace.
void report_ready() {
    const char* const name = std::getenv("NOTIFY_SOCKET");
    if (name == nullptr || (name[0] != '/' && name[0] != '@')) return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::strlen(name);
    if (length >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, name, length);
    if (name[0] == '@') address.sun_path[0] = '\0';
    const int s = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return;
    static constexpr char ready[] = "READY=1";
    ::sendto(s, ready, sizeof ready - 1, 0, reinterpret_cast<const sockaddr*>(&address),
             static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length));
    ::close(s);
}

// The client's window mapped in this process: at the client's own address
// where that is free, so the header's addresses hold here as they are;
// elsewhere if not.
unsigned char* map_window(int node, const fbsim_request& req) {
    const off_t offset = static_cast<off_t>(req.window) * tarn::fb::window_size;
    void* const wanted = reinterpret_cast<void*>(static_cast<std::uintptr_t>(req.caller_base));
    void* p =
        ::mmap(wanted, tarn::fb::window_size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED_NOREPLACE, node, offset);
    if (p == MAP_FAILED) p = ::mmap(nullptr, tarn::fb::window_size, PROT_READ | PROT_WRITE, MAP_SHARED, node, offset);
    return p == MAP_FAILED ? nullptr : static_cast<unsigned char*>(p);
}

// Runs one request in the client's window; the ioctl's result. A window
// mapped elsewhere is served through a copy whose header addresses are moved
// here and back: the client's own window never holds this process's
// addresses, even when the server is killed in the middle of a request.
int serve(int node, const fbsim_request& req) {
    unsigned char* const window = map_window(node, req);
    if (window == nullptr) return -EFAULT;  // the client closed its device meanwhile
    int r = 0;
    if (tarn::fb::detail::address_of(window) == req.caller_base) {
        r = fbemu::execute(window, req.request) == 0 ? 0 : -errno;
    } else {
        std::vector<unsigned char> copy(window, window + tarn::fb::window_size);
        r = fbemu::execute_for(copy.data(), req.caller_base, req.request) == 0 ? 0 : -errno;
        std::memcpy(window, copy.data(), copy.size());
    }
    ::munmap(window, tarn::fb::window_size);
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
    report_ready();
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
