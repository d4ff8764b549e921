// SPDX-License-Identifier: MIT
// The state journal: changes kept beside the snapshot, the network read
// afresh after a process dies part way through saving, and a damaged journal
// end reported and cut.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "device_fixture.hpp"
#include "processes.hpp"

namespace {

using names = std::set<std::string>;

class emu_journal : public device_test {
protected:
    void SetUp() override {
        device_test::SetUp();
        journal = state + ".journal";
        ::setenv("FBEMU_JOURNAL_FROM", "0", 1);  // a journal even for the small default network
        ::unsetenv("FBEMU_JOURNAL_LIMIT");
        ::unsetenv("FBEMU_CRASH_AFTER");
    }
    void TearDown() override {
        for (const char* v : {"FBEMU_JOURNAL_FROM", "FBEMU_JOURNAL_LIMIT", "FBEMU_CRASH_AFTER"}) ::unsetenv(v);
        device_test::TearDown();
    }

    // The gain blocks as a process that has not seen the state before reads
    // them: the same files under a path spelt anew, which the emulator does
    // not recognise as the one it holds.
    names gains_read_afresh() {
        spelling += "./";
        ::setenv("FBEMU_STATE", (dir + "/" + spelling + "state.json").c_str(), 1);
        tarn::fb::driver d;
        names found = d.list_funcs("gain");
        ::setenv("FBEMU_STATE", state.c_str(), 1);
        return found;
    }

    std::string journal;
    std::string spelling;
};

TEST_F(emu_journal, changes_go_to_the_journal_and_are_read_back_with_the_snapshot) {
    tarn::fb::driver d;
    d.create("gain", "first");  // no state file yet: the first change writes the snapshot
    const std::string snapshot = read_file(state);
    EXPECT_FALSE(std::filesystem::exists(journal));
    d.create("gain", "second");
    d.write_func_props("second", {std::make_pair(std::string("level"), 0.25f)});
    d.connect("volume.out", "second.in");
    EXPECT_EQ(read_file(state), snapshot);
    EXPECT_TRUE(std::filesystem::exists(journal));

    EXPECT_EQ(gains_read_afresh(), (names{"first", "second", "volume"}));
    // Read afresh, the values and connections are those written.
    ::setenv("FBEMU_STATE", (dir + "/./state.json").c_str(), 1);
    tarn::fb::driver fresh;
    EXPECT_EQ(fresh.value("second.level"), 0.25);
    EXPECT_EQ(fresh.list_output_cons("volume.out"), (names{"second.in", "split.in"}));
}

TEST_F(emu_journal, a_full_journal_is_folded_into_a_new_snapshot) {
    ::setenv("FBEMU_JOURNAL_LIMIT", "600", 1);
    tarn::fb::driver d;
    names expected{"volume"};
    for (int i = 0; i < 12; ++i) {
        const std::string name = "g" + std::to_string(i);
        d.create("gain", name);
        expected.insert(name);
        EXPECT_LE(std::filesystem::exists(journal) ? std::filesystem::file_size(journal) : 0u, 600u);
    }
    EXPECT_NE(read_file(state).find("\"g7\""), std::string::npos);  // at least one new snapshot
    EXPECT_EQ(gains_read_afresh(), expected);
}

TEST_F(emu_journal, a_journal_cut_in_a_record_loads_without_it_and_says_so) {
    tarn::fb::driver d;
    d.create("gain", "a");
    d.create("gain", "b");
    d.create("gain", "c");
    const std::string whole = read_file(journal);
    const auto last = whole.rfind('\n', whole.size() - 2) + 1;

    struct damage {
        const char* what;
        std::string text;
    };
    std::string flipped = whole;
    flipped[last + 20] ^= 0x01;
    const damage cases[] = {
        {"record cut short", whole.substr(0, whole.size() - 7)},
        {"checksum mismatch", flipped},
    };
    for (const auto& c : cases) {
        write_file(journal, c.text);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(gains_read_afresh(), (names{"a", "b", "volume"})) << c.what;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("state.json.journal: damaged at byte " + std::to_string(last)), std::string::npos) << said;
        EXPECT_NE(said.find(c.what), std::string::npos) << said;
        EXPECT_EQ(read_file(journal), whole.substr(0, last)) << c.what;
    }
    // The device goes on from the good part: the lost block and its ticket are free.
    EXPECT_EQ(d.create("gain", "c"), 10u);
    EXPECT_EQ(gains_read_afresh(), (names{"a", "b", "c", "volume"}));
}

TEST_F(emu_journal, a_replaced_state_file_drops_the_journal_of_the_old_one) {
    tarn::fb::driver d;
    d.create("gain", "a");
    const std::string snapshot = read_file(state);
    d.create("gain", "b");
    // A state file put in place by hand (as a test or a user would) counts
    // alone: the journal belongs to the file it replaced.
    std::filesystem::remove(state);
    write_file(state, snapshot);
    EXPECT_EQ(gains_read_afresh(), (names{"a", "volume"}));
    EXPECT_FALSE(std::filesystem::exists(journal));
}

// A child that creates blocks one after another, writing the name of each
// acknowledged one to `out`, until FBEMU_CRASH_AFTER kills it.
void create_until_killed(int out, unsigned long steps, int count) {
    ::setenv("FBEMU_CRASH_AFTER", std::to_string(steps).c_str(), 1);
    std::freopen("/dev/null", "w", stdout);
    tarn::fb::driver d;
    for (int i = 0; i < count; ++i) {
        const std::string name = "k" + std::to_string(i);
        d.create("gain", name);
        testing_support::write_all(out, name + "\n");
    }
}

TEST_F(emu_journal, a_process_killed_while_saving_leaves_every_acknowledged_change) {
    ::setenv("FBEMU_JOURNAL_LIMIT", "2000", 1);  // a new snapshot every few creates
    std::mt19937 random(14);
    for (int round = 0; round < 24; ++round) {
        const unsigned long steps = std::uniform_int_distribution<unsigned long>(1, 16000)(random);
        std::filesystem::remove(state);
        std::filesystem::remove(journal);
        const testing_support::child_process child([steps](int out) { create_until_killed(out, steps, 120); });
        const std::string acknowledged = child.read_report();
        const int status = child.wait();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "killed after " << steps << " steps";

        ::testing::internal::CaptureStderr();  // a record cut short is reported
        const names found = gains_read_afresh();
        ::testing::internal::GetCapturedStderr();
        names expected{"volume"};
        for (std::size_t at = 0, end; (end = acknowledged.find('\n', at)) != std::string::npos; at = end + 1)
            expected.insert(acknowledged.substr(at, end - at));
        // Every acknowledged block, and at most the one being created.
        for (const auto& name : expected) EXPECT_EQ(found.count(name), 1u) << name << " after " << steps;
        EXPECT_LE(found.size(), expected.size() + 1) << "after " << steps << " steps";
    }
}

}  // namespace
