// SPDX-License-Identifier: MIT
// The device through a real kernel (run inside the virtual board, not by
// ctest): many processes at once with every reply checked, signals delivered
// during ioctls, the device server killed and restarted while clients run,
// and clients killed in the middle of an exchange.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <tarn/fb/driver.hpp>

#include "processes.hpp"
#include "workload.hpp"

namespace {

using namespace testing_support;
using clock_type = std::chrono::steady_clock;

constexpr const char* device_state = "/var/lib/fbemu/state.json";
constexpr const char* server_pid_file = "/run/fbemu-device-server.pid";
constexpr const char* server_hold = "/run/fbemu-device-server.hold";

// Every test starts from the default network: the server's state removed
// under the device lock.
class kernel_device : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string lock = std::string(device_state) + ".lock";
        const int fd = ::open(lock.c_str(), O_RDONLY | O_CREAT, 0664);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        ::unlink(device_state);
        ::unlink((std::string(device_state) + ".journal").c_str());
        ::close(fd);
    }
};

int server_pid() {
    std::ifstream in(server_pid_file);
    int pid = 0;
    in >> pid;
    return pid;
}

// The pid of a running server other than `gone` (one just killed), waiting
// (bounded) for the board to restart it; 0 if none came.
int restarted_server(int gone) {
    for (const auto end = clock_type::now() + std::chrono::seconds(10); clock_type::now() < end;) {
        const int pid = server_pid();
        if (pid > 0 && pid != gone && ::kill(pid, 0) == 0) return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

// Waits (bounded) until an exchange succeeds again.
bool device_answers(std::chrono::seconds within) {
    for (const auto end = clock_type::now() + within; clock_type::now() < end;) {
        try {
            tarn::fb::driver d;
            d.list_factories();
            return true;
        } catch (const std::exception&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    return false;
}

// Runs `workers` processes of the stress workload, each with a session of
// its own, while `meanwhile` runs in the parent with their pids; checks
// every reply and the network they leave.
// Returns the exchanges they made.
long run_workload(int workers, int rounds, const std::function<void(const std::vector<pid_t>&)>& meanwhile) {
    std::vector<child_process> children;
    for (int id = 0; id < workers; ++id)
        children.emplace_back([id, rounds](int out) {
            silence_stdout();
            tarn::fb::driver session;
            stress::workload w(session, id);
            for (int r = 0; r < rounds; ++r) w.round(r);
            write_all(out, stress::to_text(w.result()));
        });
    std::vector<pid_t> pids;
    for (const auto& c : children) pids.push_back(c.pid());
    meanwhile(pids);
    std::vector<stress::record> records;
    for (const auto& c : children) {
        records.push_back(stress::from_text(c.read_report()));
        EXPECT_TRUE(exited_cleanly(c.wait()));
    }
    tarn::fb::driver session;
    return stress::report(records, stress::check_network(session, records), rounds);
}

// About 15 exchanges a round: 36 rounds are over 500 exchanges a process.
constexpr int rounds_for_500 = 36;

TEST_F(kernel_device, eight_processes_of_500_exchanges_each_get_their_own_replies) {
    EXPECT_GE(run_workload(8, rounds_for_500, [](const std::vector<pid_t>&) {}), 8 * 500L);
}

void count_signal(int) {}

TEST_F(kernel_device, signals_during_ioctls_lose_and_mix_nothing) {
    // A handler with SA_RESTART, as programs install them: an ioctl that the
    // server has not taken yet is restarted, one it has taken completes.
    struct sigaction sa {};
    sa.sa_handler = count_signal;
    sa.sa_flags = SA_RESTART;
    ASSERT_EQ(::sigaction(SIGUSR1, &sa, nullptr), 0);
    run_workload(4, 12, [](const std::vector<pid_t>& pids) {
        for (int i = 0; i < 2000; ++i) {
            for (pid_t p : pids) ::kill(p, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    ::signal(SIGUSR1, SIG_DFL);
}

TEST_F(kernel_device, four_processes_creating_at_once_get_distinct_tickets) {
    constexpr unsigned processes = 4, creates = 250;
    const std::vector<unsigned long> tickets = stress::create_at_once(processes, creates);
    EXPECT_EQ(tickets.size(), processes * creates);
    EXPECT_EQ(std::set<unsigned long>(tickets.begin(), tickets.end()).size(), processes * creates);
    tarn::fb::driver d;
    EXPECT_EQ(d.list_funcs("gain").size(), processes * creates + 1);
}

// Creates blocks of `factory` until killed, reporting "ok NAME" or "failed
// WHY" for each.
void create_until_killed(const char* factory, int k, int report) {
    silence_stdout();
    tarn::fb::driver mine;
    for (int i = 0;; ++i) {
        const std::string name = "k" + std::to_string(k) + "_" + std::to_string(i);
        try {
            mine.create(factory, name);
            write_all(report, "ok " + name + "\n");
        } catch (const std::exception& e) {
            // Any other kind of failure is reported too: the parent accepts
            // only the failed ioctl of a server that is not running.
            write_all(report, std::string("failed ") + e.what() + "\n");
        }
    }
}

TEST_F(kernel_device, the_server_killed_and_restarted_while_clients_run) {
    std::vector<child_process> children;
    for (int k = 0; k < 3; ++k) children.emplace_back([k](int report) { create_until_killed("gain", k, report); });
    // No assertion returns early here: the clients are stopped below.
    for (int kill = 0, pid = 0; kill < 3; ++kill) {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        pid = restarted_server(pid);
        EXPECT_GT(pid, 0) << "the server was not restarted";
        if (pid > 0) {
            EXPECT_EQ(::kill(pid, SIGKILL), 0);
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    std::vector<std::string> created;
    for (const child_process& c : children) {
        ::kill(c.pid(), SIGKILL);
        c.wait();
        std::istringstream lines(c.read_report());
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("ok ", 0) == 0)
                created.push_back(line.substr(3));
            else  // while no server runs: the ioctl fails, no reply is misread
                EXPECT_NE(line.find("ioctl failed"), std::string::npos) << line;
        }
    }
    ASSERT_TRUE(device_answers(std::chrono::seconds(10)));
    tarn::fb::driver d;
    const auto gains = d.list_funcs("gain");
    for (const auto& name : created) EXPECT_EQ(gains.count(name), 1u) << name << " was acknowledged but lost";
    EXPECT_GT(created.size(), 10u);
}

TEST_F(kernel_device, without_a_server_ioctls_fail_at_once_and_work_again_after) {
    // The server the previous test killed is restarted first; then held off.
    const int pid = restarted_server(0);
    ASSERT_GT(pid, 0);  // never kill(0): that is this test's own group
    { std::ofstream hold(server_hold); }
    ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    tarn::fb::driver d;
    const auto start = clock_type::now();
    try {
        d.list_factories();
        ADD_FAILURE() << "an exchange without a server succeeded";
    } catch (const tarn::fb::driver::error& e) {
        EXPECT_NE(std::string(e.what()).find("ioctl failed"), std::string::npos) << e.what();
    }
    EXPECT_LT(clock_type::now() - start, std::chrono::seconds(5));
    ::unlink(server_hold);
    EXPECT_TRUE(device_answers(std::chrono::seconds(10)));
}

TEST_F(kernel_device, a_client_killed_mid_exchange_leaves_the_others_working) {
    run_workload(2, 12, [](const std::vector<pid_t>&) {
        for (int k = 0; k < 5; ++k) {
            // Splitters: the workload's check covers gains and mixers only.
            child_process victim([k](int report) { create_until_killed("splitter", k, report); });
            std::this_thread::sleep_for(std::chrono::milliseconds(150 + 70 * k));
            ::kill(victim.pid(), SIGKILL);
            victim.wait();
        }
    });
}

TEST_F(kernel_device, the_window_is_exactly_one_mebibyte_at_offset_zero) {
    const int fd = ::open("/dev/functionblocks", O_RDWR);
    ASSERT_GE(fd, 0);
    const int flags = MAP_SHARED | MAP_LOCKED | MAP_NORESERVE | MAP_POPULATE;
    void* twice = ::mmap(nullptr, 2 * tarn::fb::window_size, PROT_READ | PROT_WRITE, flags, fd, 0);
    EXPECT_EQ(twice, MAP_FAILED);
    void* offset = ::mmap(nullptr, tarn::fb::window_size, PROT_READ | PROT_WRITE, flags, fd, 4096);
    EXPECT_EQ(offset, MAP_FAILED);
    void* right = ::mmap(nullptr, tarn::fb::window_size, PROT_READ | PROT_WRITE, flags, fd, 0);
    ASSERT_NE(right, MAP_FAILED);
    // Two open files: two windows, not one shared.
    const int other = ::open("/dev/functionblocks", O_RDWR);
    void* second = ::mmap(nullptr, tarn::fb::window_size, PROT_READ | PROT_WRITE, flags, other, 0);
    ASSERT_NE(second, MAP_FAILED);
    static_cast<unsigned char*>(right)[100] = 7;
    EXPECT_EQ(static_cast<unsigned char*>(second)[100], 0);
    // An ioctl that is neither request: refused by the kernel side.
    EXPECT_NE(::ioctl(fd, 2), 0);
    ::munmap(right, tarn::fb::window_size);
    ::munmap(second, tarn::fb::window_size);
    ::close(fd);
    ::close(other);
}

}  // namespace
