// SPDX-License-Identifier: MIT
// Processes that keep the network between commands still share one device:
// each sees the others' changes at its next command, and no change is lost
// when they change the network at once (journal appends and new snapshots
// included).
#include <stdlib.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "device_fixture.hpp"
#include "processes.hpp"
#include "workload.hpp"

namespace {

using namespace testing_support;
using names = std::set<std::string>;

class stress_shared_state : public device_test {
protected:
    void SetUp() override {
        device_test::SetUp();
        // Journal records from the first change, and a new snapshot every few dozen.
        ::setenv("FBEMU_JOURNAL_FROM", "0", 1);
        ::setenv("FBEMU_JOURNAL_LIMIT", "4000", 1);
    }
    void TearDown() override {
        ::unsetenv("FBEMU_JOURNAL_FROM");
        ::unsetenv("FBEMU_JOURNAL_LIMIT");
        device_test::TearDown();
    }
};

void send_line(int fd, const std::string& line) { write_all(fd, line + "\n"); }

// The next line from `fd`, or "" at its end.
std::string receive_line(int fd) {
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

// One turn: checks that the block the other side made last is there with its
// level, then makes one of its own. "" when all is well, else what is wrong.
std::string take_turn(tarn::fb::driver& d, const std::string& theirs, double their_level, const std::string& mine,
                      float level) {
    if (!theirs.empty()) {
        if (!d.list_funcs("gain").count(theirs)) return theirs + " not seen";
        if (d.value(theirs + ".level") != their_level) return theirs + ".level not seen";
    }
    d.create("gain", mine);
    d.write_func_props(mine, {std::make_pair(std::string("level"), level)});
    return "";
}

// The level the parent's block of turn i gets, and the child's.
float parent_level(int i) { return static_cast<float>(i) + 0.5f; }
float child_level(int i) { return static_cast<float>(i) + 0.25f; }

TEST_F(stress_shared_state, two_processes_taking_turns_see_each_others_changes) {
    tarn::fb::driver d;
    d.list_factories();  // both processes start with the network in memory
    int to_child[2];
    ASSERT_EQ(::pipe(to_child), 0);
    constexpr int turns = 40;
    const child_process other([&](int to_parent) {
        ::close(to_child[1]);
        silence_stdout();
        tarn::fb::driver mine;  // not the parent's session, shared through fork
        for (int i = 0; i < turns; ++i) {
            const std::string theirs = receive_line(to_child[0]);
            const std::string wrong = take_turn(mine, theirs, parent_level(i), "c" + std::to_string(i), child_level(i));
            send_line(to_parent, wrong.empty() ? "c" + std::to_string(i) : "! " + wrong);
        }
    });
    ::close(to_child[0]);
    std::string theirs;
    for (int i = 0; i < turns; ++i) {
        const std::string wrong = take_turn(d, theirs, child_level(i - 1), "p" + std::to_string(i), parent_level(i));
        EXPECT_EQ(wrong, "") << "turn " << i;
        send_line(to_child[1], "p" + std::to_string(i));
        theirs = receive_line(other.report());
        if (theirs.rfind("! ", 0) == 0) {
            ADD_FAILURE() << "child, turn " << i << ": " << theirs;
            break;
        }
    }
    ::close(to_child[1]);
    EXPECT_TRUE(exited_cleanly(other.wait()));
    EXPECT_EQ(d.list_funcs("gain").size(), 2u * turns + 1);
}

TEST_F(stress_shared_state, four_processes_creating_at_once_lose_nothing) {
    constexpr int processes = 4, creates = 1000;
    ::setenv("FBEMU_JOURNAL_LIMIT", "65536", 1);  // some new snapshots, not one every few creates
    tarn::fb::driver d;
    d.list_factories();
    const std::vector<unsigned long> received = stress::create_at_once(processes, creates);
    const std::set<unsigned long> tickets(received.begin(), received.end());
    EXPECT_EQ(received.size(), 4000u);
    EXPECT_EQ(tickets.size(), 4000u);
    const names gains = d.list_funcs("gain");
    EXPECT_EQ(gains.size(), 4001u);
    for (int k = 0; k < processes; ++k)
        for (int i = 0; i < creates; i += 97)
            EXPECT_EQ(gains.count("c" + std::to_string(k) + "_" + std::to_string(i)), 1u);
}

}  // namespace
