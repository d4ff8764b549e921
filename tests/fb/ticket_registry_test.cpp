// SPDX-License-Identifier: MIT
// The ticket registry's file: what goes in comes out, whatever the names;
// damaged lines are skipped; processes writing at once lose nothing.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tarn/fb/ticket_registry.hpp>

#include "processes.hpp"

namespace {

using tarn::fb::registry_error;
using tarn::fb::ticket_entry;
using tarn::fb::ticket_registry;

class registry_file : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ticket-registry-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        file_ = dir_ + "/tickets";
    }
    void TearDown() override {
        for (const char* suffix : {"", ".lock", ".new"}) ::unlink((file_ + suffix).c_str());
        ::rmdir(dir_.c_str());
    }
    void write_file(const std::string& text) const { std::ofstream(file_, std::ios::binary) << text; }

    std::string dir_, file_;
};

std::string listing(const std::vector<ticket_entry>& entries) {
    std::string out;
    for (const auto& e : entries) out += std::to_string(e.ticket) + "|" + e.factory + "|" + e.block + "\n";
    return out;
}

TEST_F(registry_file, entries_come_back_by_name_whatever_the_names_hold) {
    ticket_registry r(file_);
    EXPECT_TRUE(r.entries().empty());  // no file yet
    r.record({9, "sine osc", "a \"b\"\\c"});
    r.record({8, "gain", "g1"});
    r.record({4294967295u, "x", std::string("tab\there\nnew\x01")});
    r.record({12, "gain", "g1"});  // the same name again: the newer ticket
    EXPECT_EQ(listing(r.entries()), "9|sine osc|a \"b\"\\c\n12|gain|g1\n4294967295|x|tab\there\nnew\x01\n");

    r.forget(9);
    r.forget(77);  // no such ticket: nothing changes
    EXPECT_EQ(listing(r.entries()), "12|gain|g1\n4294967295|x|tab\there\nnew\x01\n");

    // Any member of the device's group may replace it, whatever the umask.
    struct stat st {};
    ASSERT_EQ(::stat(file_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
}

TEST_F(registry_file, damaged_lines_are_skipped) {
    write_file(
        "# comment\n"
        "\n"
        "8 gain g1\n"
        "0 gain zero\n"          // 0 is never a ticket
        "4294967296 gain big\n"  // beyond 32 bits
        "12x gain letters\n"
        "9 gain\n"               // a field missing
        "10 gain g2 extra\n"     // a field too many
        "11 gain \"cut short\n"  // an unended quote
        "13 gain \"bad\\x4\"\n"  // a short escape
        "14 \"sine osc\" \"s 1\"\n"
        "15 gain g3");  // no line end
    EXPECT_EQ(listing(ticket_registry(file_).entries()), "8|gain|g1\n15|gain|g3\n14|sine osc|s 1\n");
}

TEST_F(registry_file, a_registry_that_cannot_be_written_is_an_error) {
    ticket_registry missing(dir_ + "/no/such/dir/tickets");
    EXPECT_TRUE(missing.entries().empty());
    EXPECT_THROW(missing.record({1, "gain", "g"}), registry_error);
    EXPECT_THROW(missing.forget(1), registry_error);
}

TEST_F(registry_file, lives_beside_the_emulators_state_file) {
    const char* saved = std::getenv("FBEMU_STATE");
    const std::string before = saved != nullptr ? saved : "";
    ::setenv("FBEMU_STATE", "/some/where/state.json", 1);
    EXPECT_EQ(ticket_registry::default_path(), "/some/where/state.json.tickets");
    ::unsetenv("FBEMU_STATE");
    EXPECT_EQ(ticket_registry::default_path(), "/run/patchbay/tickets");
    if (saved != nullptr) ::setenv("FBEMU_STATE", before.c_str(), 1);
}

TEST_F(registry_file, processes_recording_and_forgetting_at_once_lose_nothing) {
    constexpr int processes = 4, each = 40;
    std::vector<testing_support::child_process> children;
    for (int p = 0; p < processes; ++p)
        children.emplace_back([&, p](int) {
            ticket_registry r(file_);
            for (int i = 0; i < each; ++i) {
                const unsigned int ticket = static_cast<unsigned int>(1 + p * each + i);
                r.record({ticket, "gain", "b" + std::to_string(ticket)});
                // Every odd one is forgotten again, by the process that made it.
                if (i % 2 == 1) r.forget(ticket);
            }
        });
    for (const auto& c : children) ASSERT_TRUE(testing_support::exited_cleanly(c.wait()));

    std::vector<ticket_entry> entries = ticket_registry(file_).entries();
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(processes * each / 2));
    for (const auto& e : entries) {
        EXPECT_EQ(e.ticket % 2, 1u) << e.block;  // tickets 1 + 2k: the even i of each process
        EXPECT_EQ(e.block, "b" + std::to_string(e.ticket));
        EXPECT_EQ(e.factory, "gain");
    }
}

}  // namespace
