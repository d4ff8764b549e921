// SPDX-License-Identifier: MIT
// Eight threads share the process-wide session against the emulated device
// (the shim is linked in): listings, creates, destroys, property writes and
// value reads, each reply checked against its request, and at the end the
// network holds exactly what the threads left.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "device_fixture.hpp"
#include "processes.hpp"
#include "workload.hpp"

namespace {

constexpr int thread_count = 8;

class stress_threads : public device_test {};

TEST_F(stress_threads, eight_threads_share_the_process_wide_session) {
    const int n = stress::rounds();
    std::vector<stress::record> records(thread_count);
    std::vector<std::string> wrong;
    const auto start = std::chrono::steady_clock::now();
    {
        testing_support::quiet_stdout quiet;
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

    const long operations = stress::report(records, wrong, n);
    std::fprintf(stderr, "%ld operations by %d threads in %.2f s\n", operations, thread_count, took.count());
}

}  // namespace
