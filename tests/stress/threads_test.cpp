// SPDX-License-Identifier: MIT
// Eight threads share the process-wide session against the emulated device
// (the shim is linked in): listings, creates, destroys, property writes and
// value reads, each reply checked against its request, and at the end the
// network holds exactly what the threads left.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "device_fixture.hpp"
#include "workload.hpp"

namespace {

constexpr int thread_count = 8;

int rounds() {
    const char* v = std::getenv("STRESS_ROUNDS");
    return v ? std::atoi(v) : 24;
}

// Sends standard output (the count lines of the name listings) to /dev/null
// while it lives.
class quiet_stdout {
public:
    quiet_stdout() : saved_(::dup(1)) {
        std::fflush(stdout);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::close(null);
    }
    ~quiet_stdout() {
        std::cout.flush();
        std::fflush(stdout);
        ::dup2(saved_, 1);
        ::close(saved_);
    }

private:
    int saved_;
};

class stress_threads : public device_test {};

TEST_F(stress_threads, eight_threads_share_the_process_wide_session) {
    const int n = rounds();
    std::vector<stress::record> records(thread_count);
    std::vector<std::string> wrong;
    const auto start = std::chrono::steady_clock::now();
    {
        quiet_stdout quiet;
        std::vector<std::thread> threads;
        for (int id = 0; id < thread_count; ++id)
            threads.emplace_back([&records, id, n] {
                // The first call of instance() in the process happens here, on every thread at once.
                stress::workload w(tarn::fb::driver::instance(), id);
                for (int r = 0; r < n; ++r) w.round(r);
                records[id] = w.result();
            });
        for (auto& t : threads) t.join();
        wrong = stress::check_network(tarn::fb::driver::instance(), records);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    long operations = 0;
    for (const auto& r : records) {
        operations += r.operations;
        for (const auto& f : r.failures) ADD_FAILURE() << f;
        EXPECT_EQ(r.tickets.size(), static_cast<std::size_t>(n));
    }
    for (const auto& w : wrong) ADD_FAILURE() << w;
    std::fprintf(stderr, "%ld operations by %d threads in %.2f s\n", operations, thread_count, took.count());
}

}  // namespace
