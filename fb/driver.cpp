// SPDX-License-Identifier: MIT
// The device session: opening and mapping the window, laying out the two
// regions, and executing a command with its failure status turned into an
// exception.
#include <cerrno>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/exchange_observer.hpp>

#include "session_failure.hpp"

namespace tarn {
namespace fb {

namespace {
constexpr const char* device_path = "/dev/functionblocks";
constexpr unsigned long request_int_cmd = 1;
std::atomic<exchange_observer> observer{nullptr};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs the pushed command and consumes its status word.
int run_int_cmd(int fd, tarn::fb::fifo& reply, const char* name) {
    if (::ioctl(fd, request_int_cmd) != 0) {
        static std::string ioctl_failure;
        ioctl_failure = name;
        ioctl_failure += ": ioctl failed";
        throw driver::error(0, ioctl_failure.c_str());
    }
    const int status = reply.pop<int>();
    if (status == 0) return 0;

    static std::string status_failure;
    status_failure = name;
    status_failure += ": ";
    int code = 0;
    try {
        const int device_code = reply.pop<int>();
        status_failure += reply.pop<std::string>();
        code = device_code;
    } catch (const tarn::fb::fifo::error&) {
        status_failure += "error code and/or message not found";
    }
    throw driver::error(code, status_failure.c_str());
}
}  // namespace

exchange_observer set_exchange_observer(exchange_observer next) noexcept { return observer.exchange(next); }

driver::error::error(int code_, const char* message) : tarn::exception::exception(message), code(code_) {}
driver::error::~error() = default;

driver& driver::instance() {
    static driver session;
    return session;
}

driver::driver() : fifo(nullptr), shm(nullptr), fd(-1) {
    // The cause of a failure is noted for describe_failure(); the messages stay as they are.
    detail::session_failure& noted = detail::last_session_failure();
    noted = {};
    fd = ::open(device_path, O_RDWR);
    if (fd < 0) {
        noted.open_errno = errno;
        throw error(0, "driver(): could not open /dev/functionblocks");
    }
    void* window = ::mmap(nullptr, window_size, PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_LOCKED | MAP_NORESERVE | MAP_POPULATE, fd, 0);
    if (window == MAP_FAILED) {
        noted.map_errno = errno;
        rlimit limit{};
        if (::getrlimit(RLIMIT_MEMLOCK, &limit) == 0) noted.memlock = limit.rlim_cur;
        ::close(fd);
        throw error(0, "driver(): could not map /dev/functionblocks");
    }
    // The header words hold 32-bit addresses: the whole window must be below 4 GiB.
    if (reinterpret_cast<std::uintptr_t>(window) > 0xffffffffu - window_size) {
        ::munmap(window, window_size);
        ::close(fd);
        throw error(0, "driver(): window above 4 GiB");
    }
    shm = window;
    auto* base = static_cast<unsigned char*>(shm);
    fifo = new tarn::fb::fifo(base, base + reply_offset);
    detail::region(fifo->request_header).format(region_size);
    detail::region(fifo->reply_header).format(region_size);
}

driver::~driver() {
    ::munmap(shm, window_size);
    ::close(fd);
    delete fifo;
}

void driver::reset_request() { detail::region(fifo->request_header).clear(); }

int driver::ioctl_with_int_cmd(const char* name) {
    const exchange_observer watch = observer.load(std::memory_order_relaxed);
    if (!watch) return run_int_cmd(fd, *fifo, name);
    const auto start = std::chrono::steady_clock::now();
    try {
        const int status = run_int_cmd(fd, *fifo, name);
        watch(name, seconds_since(start), false);
        return status;
    } catch (const error&) {
        watch(name, seconds_since(start), true);
        throw;
    }
}

}  // namespace fb
}  // namespace tarn
