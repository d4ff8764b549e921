// SPDX-License-Identifier: MIT
// The emulator's listing refusals and the connections of one endpoint. The
// whole default network as the library reads it is checked by fbdump's walk
// test (tests/fbdump) and patchbay's transcripts (tests/e2e).
#include <set>
#include <string>

#include "device_fixture.hpp"

namespace {

using names = std::set<std::string>;

class emu_listing : public device_test {};

TEST_F(emu_listing, output_connections_by_endpoint) {
    tarn::fb::driver d;
    EXPECT_EQ(d.list_output_cons("osc2.out"), (names{"lowpass.in", "mix.in2"}));
    EXPECT_EQ(d.output_connections_count("osc1.out"), 1);
    EXPECT_EQ(d.output_connections_count("split.out2"), 1);
    // An input, an unknown block and a name without a port are refused.
    for (const char* bad : {"mix.in1", "ghost.out", "osc1"})
        expect_device_error([&] { d.list_output_cons(bad); }, 0, "list_output_cons: bad return value");
}

TEST_F(emu_listing, unknown_names_are_failures_naming_them) {
    tarn::fb::driver d;
    expect_device_error([&] { d.list_funcs("theremin"); }, 10, "list_funcs: no factory named 'theremin'");
    expect_device_error([&] { d.list_func_props("ghost"); }, 11, "list_func_props: no function block named 'ghost'");
    expect_device_error([&] { d.list_func_outputs("ghost"); }, 11, "ghost");
    expect_device_error([&] { d.list_func_inputs(""); }, 11, "list_inputs: no function block named ''");
    // The session goes on normally afterwards.
    EXPECT_EQ(d.list_funcs("gain"), (names{"volume"}));
}

}  // namespace
