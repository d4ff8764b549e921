// SPDX-License-Identifier: MIT
// Creating and destroying blocks, connecting ports, and the network kept in
// the state file across sessions and processes.
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "device_fixture.hpp"

namespace {

using names = std::set<std::string>;

class emu_editing : public device_test {};

TEST_F(emu_editing, tickets_are_new_and_never_reused) {
    tarn::fb::driver d;
    const unsigned int first = d.create("gain", "trim");
    EXPECT_EQ(first, 8u);  // the default network holds tickets 1 to 7
    d.destroy(first);
    const unsigned int second = d.create("gain", "trim");
    EXPECT_GT(second, first);
    expect_device_error([&] { d.destroy(first); }, 13, "destroy: no function block has ticket 8");
    expect_device_error([&] { d.destroy(0); }, 13, "ticket 0");
    EXPECT_EQ(d.list_funcs("gain"), (names{"trim", "volume"}));
}

TEST_F(emu_editing, create_checks_factory_and_name) {
    tarn::fb::driver d;
    expect_device_error([&] { d.create("gain", "volume"); }, 12,
                        "create: a function block named 'volume' exists already");
    expect_device_error([&] { d.create("theremin", "t1"); }, 10, "create: no factory named 'theremin'");
    for (const char* bad : {"", "a.b", "two words", "tab\there"})
        expect_device_error([&] { d.create("gain", bad); }, 20, "cannot name a function block");
    EXPECT_EQ(d.list_funcs("gain"), (names{"volume"}));
}

TEST_F(emu_editing, destroy_removes_the_blocks_connections) {
    tarn::fb::driver d;
    const unsigned int ticket = d.create("splitter", "tap");
    d.connect("osc1.out", "tap.in");
    d.connect("tap.out1", "mix.in4");
    EXPECT_EQ(d.list_output_cons("osc1.out"), (names{"mix.in1", "tap.in"}));
    d.destroy(ticket);
    EXPECT_EQ(d.list_output_cons("osc1.out"), (names{"mix.in1"}));
    // mix.in4 is free again.
    d.connect("osc2.out", "mix.in4");
}

TEST_F(emu_editing, connect_rules) {
    tarn::fb::driver d;
    expect_device_error([&] { d.connect("osc2.out", "mix.in1"); }, 15,
                        "connect: input mix.in1 is already connected with osc1.out");
    expect_device_error([&] { d.connect("mix.in1", "volume.in"); }, 14,
                        "source 'mix.in1': block 'mix' has no output port 'in1'");
    expect_device_error([&] { d.connect("osc1.out", "osc2.out"); }, 14, "has no input port 'out'");
    expect_device_error([&] { d.connect("osc1.out", "ghost.in"); }, 11, "no function block named 'ghost'");
    expect_device_error([&] { d.connect("osc1", "mix.in4"); }, 14, "not of the form block.port");
    expect_device_error([&] { d.connect("osc1.out", "mix.in1"); }, 21, "already connected with mix.in1");

    // connect_unchecked skips only the one-connection rule of inputs.
    d.connect_unchecked("osc2.out", "mix.in1");
    tarn::fb::fifo& f = d.list_func_inputs("mix");
    ASSERT_EQ(f.pop<int>(), 4);
    EXPECT_EQ(f.pop<std::string>(), "in1");
    ASSERT_EQ(f.pop<int>(), 2);
    EXPECT_EQ(f.pop<std::string>(), "osc1.out");
    EXPECT_EQ(f.pop<std::string>(), "osc2.out");
    expect_device_error([&] { d.connect_unchecked("osc2.out", "mix.in1"); }, 21, "already connected");
    expect_device_error([&] { d.connect_unchecked("osc2.out", "mix.nope"); }, 14, "no input port 'nope'");
}

TEST_F(emu_editing, disconnect_needs_an_existing_connection) {
    tarn::fb::driver d;
    d.disconnect("osc1.out", "mix.in1");
    expect_device_error([&] { d.disconnect("osc1.out", "mix.in1"); }, 16,
                        "disconnect: osc1.out is not connected with mix.in1");
    expect_device_error([&] { d.disconnect("osc1.out", "ghost.in"); }, 11, "ghost");
    d.connect("osc2.out", "mix.in1");
    EXPECT_EQ(d.list_output_cons("osc2.out"), (names{"lowpass.in", "mix.in1", "mix.in2"}));
}

TEST_F(emu_editing, the_network_outlives_the_session_and_reads_leave_the_file_alone) {
    {
        tarn::fb::driver d;
        d.list_factories();
        d.list_func_props("osc1");
        struct stat st;
        EXPECT_NE(::stat(state.c_str(), &st), 0) << "a read-only command wrote the state file";
        d.create("mixer", "submix");
        d.connect("submix.out", "mix.in4");
    }
    struct stat before, after;
    ASSERT_EQ(::stat(state.c_str(), &before), 0);
    const std::string text = read_file(state);
    tarn::fb::driver d;
    EXPECT_EQ(d.list_funcs("mixer"), (names{"mix", "submix"}));
    EXPECT_EQ(d.list_output_cons("submix.out"), (names{"mix.in4"}));
    ASSERT_EQ(::stat(state.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "listing replaced the state file";
    EXPECT_EQ(read_file(state), text);
}

}  // namespace
