// SPDX-License-Identifier: MIT
// Four processes share one emulated device (one state file, locked per
// command): each runs the stress workload with a session of its own; at the
// end the network holds exactly what they left.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "device_fixture.hpp"
#include "workload.hpp"

namespace {

constexpr int process_count = 4;

int rounds() {
    const char* v = std::getenv("STRESS_ROUNDS");
    return v ? std::atoi(v) : 24;
}

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
[[noreturn]] void child(int id, int n, int go, int out) {
    char c;
    while (::read(go, &c, 1) > 0) {
    }
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    tarn::fb::driver session;  // not instance(): a session of the parent's would be shared through fork
    stress::workload w(session, id);
    for (int r = 0; r < n; ++r) w.round(r);
    std::cout.flush();
    const std::string text = to_text(w.result());
    bool written = true;
    for (std::size_t done = 0; written && done < text.size();) {
        const ssize_t k = ::write(out, text.data() + done, text.size() - done);
        written = k > 0;
        done += written ? static_cast<std::size_t>(k) : 0;
    }
    ::_exit(written ? 0 : 3);
}

std::string read_all(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t k; (k = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(k));
    return text;
}

class stress_processes : public device_test {};

TEST_F(stress_processes, four_processes_share_one_device) {
    const int n = rounds();
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> children;
    std::vector<int> results;
    for (int id = 0; id < process_count; ++id) {
        int result[2];
        ASSERT_EQ(::pipe(result), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(go[1]);
            ::close(result[0]);
            child(id, n, go[0], result[1]);
        }
        ::close(result[1]);
        children.push_back(pid);
        results.push_back(result[0]);
    }
    ::close(go[0]);
    const auto start = std::chrono::steady_clock::now();
    ::close(go[1]);  // all children start together

    std::vector<stress::record> records;
    for (int fd : results) {
        records.push_back(from_text(read_all(fd)));
        ::close(fd);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    long operations = 0;
    for (const auto& r : records) {
        operations += r.operations;
        for (const auto& f : r.failures) ADD_FAILURE() << f;
        EXPECT_EQ(r.tickets.size(), static_cast<std::size_t>(n));
    }
    tarn::fb::driver session;
    for (const auto& wrong : stress::check_network(session, records)) ADD_FAILURE() << wrong;
    std::fprintf(stderr, "%ld operations by %d processes in %.2f s\n", operations, process_count, took.count());
}

}  // namespace
