// SPDX-License-Identifier: MIT
// The default network as the client library reads it: names, property
// entries and port entries exactly as the device lays them out.
#include <set>
#include <string>
#include <vector>

#include "device_fixture.hpp"

namespace {

using names = std::set<std::string>;

class emu_listing : public device_test {};

TEST_F(emu_listing, factories_and_their_blocks) {
    tarn::fb::driver d;
    EXPECT_EQ(d.list_factories(), (names{"audio_out", "biquad_filter", "gain", "mixer", "sine_osc", "splitter"}));
    EXPECT_EQ(d.list_funcs("sine_osc"), (names{"osc1", "osc2"}));
    EXPECT_EQ(d.list_funcs("audio_out"), (names{"speaker"}));
}

TEST_F(emu_listing, property_entries_carry_each_type_with_its_own_tag) {
    tarn::fb::driver d;
    tarn::fb::fifo& f = d.list_func_props("osc2");
    ASSERT_EQ(f.pop<int>(), 3);
    EXPECT_EQ(f.pop<std::string>(), "frequency");
    EXPECT_EQ(f.pop<std::string>(), "float");
    EXPECT_FLOAT_EQ(f.pop<float>(), 220.0f);
    EXPECT_EQ(f.pop<std::string>(), "amplitude");
    EXPECT_EQ(f.pop<std::string>(), "float");
    EXPECT_FLOAT_EQ(f.pop<float>(), 0.8f);
    EXPECT_EQ(f.pop<std::string>(), "waveform");
    EXPECT_EQ(f.pop<std::string>(), "enum");
    ASSERT_EQ(f.pop<int>(), 4);
    std::vector<std::string> choices;
    for (int i = 0; i < 4; ++i) choices.push_back(f.pop<std::string>());
    EXPECT_EQ(choices, (std::vector<std::string>{"sine", "square", "sawtooth", "triangle"}));
    EXPECT_EQ(f.pop<int>(), 1);
    EXPECT_TRUE(reply_consumed(f));

    tarn::fb::fifo& g = d.list_func_props("volume");
    ASSERT_EQ(g.pop<int>(), 2);
    g.pop<std::string>();
    g.pop<std::string>();
    EXPECT_FLOAT_EQ(g.pop<float>(), 0.5f);
    EXPECT_EQ(g.pop<std::string>(), "mute");
    EXPECT_EQ(g.pop<std::string>(), "uint8");
    EXPECT_EQ(g.pop<unsigned char>(), 0);
    EXPECT_TRUE(reply_consumed(g));

    tarn::fb::fifo& h = d.list_func_props("speaker");
    ASSERT_EQ(h.pop<int>(), 3);
    EXPECT_EQ(h.pop<std::string>(), "sample_rate");
    EXPECT_EQ(h.pop<std::string>(), "uint32");
    EXPECT_EQ(h.pop<unsigned int>(), 48000u);
}

struct port {
    std::string name;
    std::vector<std::string> connections;
    bool operator==(const port& o) const { return name == o.name && connections == o.connections; }
};

std::vector<port> pop_ports(tarn::fb::fifo& f) {
    std::vector<port> ports(static_cast<std::size_t>(f.pop<int>()));
    for (auto& p : ports) {
        p.name = f.pop<std::string>();
        const int n = f.pop<int>();
        for (int i = 0; i < n; ++i) p.connections.push_back(f.pop<std::string>());
    }
    EXPECT_TRUE(reply_consumed(f));
    return ports;
}

TEST_F(emu_listing, port_entries_send_every_connection) {
    tarn::fb::driver d;
    EXPECT_EQ(pop_ports(d.list_func_outputs("osc2")), (std::vector<port>{{"out", {"mix.in2", "lowpass.in"}}}));
    EXPECT_EQ(pop_ports(d.list_func_inputs("mix")),
              (std::vector<port>{{"in1", {"osc1.out"}}, {"in2", {"osc2.out"}}, {"in3", {"lowpass.out"}}, {"in4", {}}}));
    EXPECT_EQ(pop_ports(d.list_func_outputs("speaker")), std::vector<port>{});
}

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
