// SPDX-License-Identifier: MIT
// Four processes share one emulated device (one state file, locked per
// command): each runs the stress workload with a session of its own; at the
// end the network holds exactly what they left.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "device_fixture.hpp"
#include "processes.hpp"
#include "workload.hpp"

namespace {

constexpr int process_count = 4;

// A record as lines of text, one fact per line, for the way back from a child.
std::string to_text(const stress::record& r) {
    std::ostringstream out;
    out << "operations " << r.operations << '\n';
    for (unsigned int t : r.tickets) out << "ticket " << t << '\n';
    for (const auto& [name, b] : r.alive) {
        char value[32];
        std::snprintf(value, sizeof value, "%.9g", static_cast<double>(b.value));
        out << "alive " << name << ' ' << b.factory << ' ' << b.property << ' ' << b.input << ' ' << value << '\n';
    }
    for (const auto& f : r.failures) out << "failure " << f << '\n';
    return out.str();
}

stress::record from_text(const std::string& text) {
    stress::record r;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string what;
        fields >> what;
        if (what == "operations") {
            fields >> r.operations;
        } else if (what == "ticket") {
            unsigned int t;
            fields >> t;
            r.tickets.push_back(t);
        } else if (what == "alive") {
            std::string name, value;
            stress::record::block b;
            fields >> name >> b.factory >> b.property >> b.input >> value;
            b.value = std::strtof(value.c_str(), nullptr);
            r.alive[name] = b;
        } else {
            r.failures.push_back(line);
        }
    }
    return r;
}

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
    testing_support::write_all(out, to_text(w.result()));
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
        records.push_back(from_text(c.read_report()));
        EXPECT_TRUE(testing_support::exited_cleanly(c.wait()));
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    tarn::fb::driver session;
    const long operations = stress::report(records, stress::check_network(session, records), n);
    std::fprintf(stderr, "%ld operations by %d processes in %.2f s\n", operations, process_count, took.count());
}

}  // namespace
