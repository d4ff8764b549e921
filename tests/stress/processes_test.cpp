// SPDX-License-Identifier: MIT
// Four processes share one emulated device (one state file, locked per
// command): each runs the stress workload with a session of its own; at the
// end the network holds exactly what they left.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device_fixture.hpp"
#include "processes.hpp"
#include "workload.hpp"

namespace {

constexpr int process_count = 4;

// The child: waits until `go` closes, runs the workload on a session of its
// own and writes its record to `out`.
void child(int id, int n, int go, int out) {
    char c;
    while (::read(go, &c, 1) > 0) {
    }
    testing_support::silence_stdout();
    tarn::fb::driver session;  // not instance(): a session of the parent's would be shared through fork
    stress::workload w(session, id);
    for (int r = 0; r < n; ++r) w.round(r);
    std::cout.flush();
    testing_support::write_all(out, stress::to_text(w.result()));
}

class stress_processes : public device_test {};

TEST_F(stress_processes, four_processes_share_one_device) {
    const int n = stress::rounds();
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<testing_support::child_process> children;
    for (int id = 0; id < process_count; ++id)
        children.emplace_back([&go, id, n](int out) {
            ::close(go[1]);
            child(id, n, go[0], out);
        });
    ::close(go[0]);
    const auto start = std::chrono::steady_clock::now();
    ::close(go[1]);  // all children start together

    std::vector<stress::record> records;
    for (const auto& c : children) {
        records.push_back(stress::from_text(c.read_report()));
        EXPECT_TRUE(testing_support::exited_cleanly(c.wait()));
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    tarn::fb::driver session;
    const long operations = stress::report(records, stress::check_network(session, records), n);
    std::fprintf(stderr, "%ld operations by %d processes in %.2f s\n", operations, process_count, took.count());
}

}  // namespace
