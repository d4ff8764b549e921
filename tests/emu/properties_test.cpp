// SPDX-License-Identifier: MIT
// Property writes (single and bulk), value reads, activation and resource
// methods.
#include <stdlib.h>

#include <cstring>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include <tarn/fb/typed_write.hpp>

#include "device_fixture.hpp"
#include "window.hpp"

namespace {

using tarn::fb::fifo;

// The library's single-property write, as the command front end uses it.
template <class T>
void write_one(tarn::fb::driver& d, const std::string& block, const std::string& property, T value) {
    tarn::fb::write_func_prop(d, block, property, value);
}

template <class T>
tarn::fb::property prop(const std::string& name, T value) {
    return std::make_pair(name, value);
}

class emu_properties : public device_test {};

TEST_F(emu_properties, single_write_checks_type_and_range) {
    tarn::fb::driver d;
    write_one(d, "osc1", "frequency", 880.5f);
    EXPECT_DOUBLE_EQ(d.value("osc1.frequency"), 880.5);
    write_one(d, "mix", "channels", 2);  // int into uint32
    write_one(d, "volume", "mute", 1u);  // unsigned int into uint8
    write_one(d, "lowpass", "mode", 3);  // the last of four choices
    EXPECT_DOUBLE_EQ(d.value("mix.channels"), 2.0);
    EXPECT_DOUBLE_EQ(d.value("volume.mute"), 1.0);
    EXPECT_DOUBLE_EQ(d.value("lowpass.mode"), 3.0);

    const auto refused = [&](auto write, int code, const std::string& fragment) {
        expect_device_error(write, code, fragment);
    };
    refused([&] { write_one(d, "osc1", "frequency", 1); }, 18,
            "write_func_prop: osc1.frequency: a float property cannot take a int32 value");
    refused([&] { write_one(d, "mix", "channels", 2.0f); }, 18,
            "mix.channels: a uint32 property cannot take a float value");
    refused([&] { write_one(d, "mix", "channels", -1); }, 19, "mix.channels: value out of range (uint32)");
    refused([&] { write_one(d, "volume", "mute", 256u); }, 19, "volume.mute: value out of range (uint8)");
    refused([&] { write_one(d, "lowpass", "mode", 4); }, 19, "lowpass.mode: value out of range (choice 0 to 3)");
    refused([&] { write_one(d, "lowpass", "mode", 1.0f); }, 18, "a enum property cannot take a float value");
    refused([&] { write_one(d, "lowpass", "resonance", 1.0f); }, 17, "lowpass.resonance: no such property");
    refused([&] { write_one(d, "ghost", "level", 1.0f); }, 11, "no function block named 'ghost'");
    // Nothing of the refused writes was stored.
    EXPECT_DOUBLE_EQ(d.value("osc1.frequency"), 880.5);
    EXPECT_DOUBLE_EQ(d.value("lowpass.mode"), 3.0);
}

TEST_F(emu_properties, bulk_write_is_all_or_nothing) {
    tarn::fb::driver d;
    expect_device_error(
        [&] {
            d.write_func_props("lowpass", {prop("cutoff", 500.0f), prop("mode", 1), prop("order", 300u)});
        },
        19, "write_func_props: lowpass.order: value out of range (uint8)");
    EXPECT_DOUBLE_EQ(d.value("lowpass.cutoff"), 1200.0);
    EXPECT_DOUBLE_EQ(d.value("lowpass.mode"), 0.0);

    // Numbers by value: a double into a float, long long and unsigned char into integers.
    d.write_func_props("lowpass",
                       {prop("cutoff", 500.25), prop("mode", 2LL), prop("order", static_cast<unsigned char>(4))});
    EXPECT_DOUBLE_EQ(d.value("lowpass.cutoff"), 500.25);
    EXPECT_DOUBLE_EQ(d.value("lowpass.mode"), 2.0);
    EXPECT_DOUBLE_EQ(d.value("lowpass.order"), 4.0);
    d.write_func_props("lowpass", {});  // nothing to write is no error
    expect_device_error([&] { d.write_func_props("lowpass", {prop("q", std::string("high"))}); }, 18,
                        "lowpass.q: a float property cannot take a string value");
    expect_device_error([&] { d.write_func_props("lowpass", {prop("q", 1e300)}); }, 19,
                        "lowpass.q: value out of range");
}

TEST_F(emu_properties, value_reads_stored_values_and_nil_for_unknown_names) {
    tarn::fb::driver d;
    std::vector<double> values;
    d.value({"osc2.frequency", "osc2.waveform", "osc2.nothing", "speaker.sample_rate", "nothing", "volume.mute"},
            values);
    EXPECT_EQ(values, (std::vector<double>{220.0, 1.0, 3e20, 48000.0, 3e20, 0.0}));
    EXPECT_EQ(d.value_str("speaker.sample_rate"), "48000");
    EXPECT_EQ(d.value_str("ghost.level"), "nil");

    // The tags as sent: float, int for an enum, uint32, uint8.
    std::lock_guard<std::mutex> lock(d.mutex);
    d.reset_request();
    d.fifo->push<int>(10);
    for (const char* v : {"osc1.amplitude", "lowpass.mode", "mix.channels", "lowpass.order"})
        d.fifo->push<std::string>(v);
    d.ioctl_with_int_cmd("value");
    EXPECT_FLOAT_EQ(d.fifo->pop<float>(), 0.8f);
    EXPECT_EQ(d.fifo->pop<int>(), 0);
    EXPECT_EQ(d.fifo->pop<unsigned int>(), 4u);
    EXPECT_EQ(d.fifo->pop<unsigned char>(), 2);
    EXPECT_TRUE(reply_consumed(*d.fifo));
}

const char* const studio_catalog = R"({
  "factories": [
    {"name": "recorder", "inputs": ["in"],
     "properties": [
       {"name": "path", "type": "string", "default": "/tmp/take.wav"},
       {"name": "taps", "type": "float_vector", "default": [0.25, 0.5]},
       {"name": "meta", "type": "object"},
       {"name": "gain_db", "type": "double", "default": -6.5},
       {"name": "frames", "type": "int64", "default": -1}]}
  ],
  "blocks": [{"name": "rec", "factory": "recorder", "ticket": 1}]
})";

TEST_F(emu_properties, other_property_types_are_stored_and_listed_with_their_tags) {
    write_file(path("studio.json"), studio_catalog);
    ::setenv("FBEMU_CATALOG", path("studio.json").c_str(), 1);
    tarn::fb::driver d;
    fifo::object meta{{"take", 3}, {"title", std::string("intro")}, {"marks", fifo::array{1.5f, true}}};
    d.write_func_props("rec", {prop("path", std::string("/data/a.wav")), prop("taps", std::vector<float>{1, 2, 3}),
                               prop("meta", meta), prop("gain_db", -1.25), prop("frames", 1LL << 40)});

    tarn::fb::fifo& f = d.list_func_props("rec");
    ASSERT_EQ(f.pop<int>(), 5);
    EXPECT_EQ(f.pop<std::string>(), "path");
    EXPECT_EQ(f.pop<std::string>(), "string");
    EXPECT_EQ(f.pop<std::string>(), "/data/a.wav");
    EXPECT_EQ(f.pop<std::string>(), "taps");
    EXPECT_EQ(f.pop<std::string>(), "float_vector");
    EXPECT_EQ(f.pop<std::vector<float>>(), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(f.pop<std::string>(), "meta");
    EXPECT_EQ(f.pop<std::string>(), "object");
    const fifo::object back = f.pop<fifo::object>();
    EXPECT_EQ(boost::any_cast<int>(back.at("take")), 3);
    EXPECT_EQ(boost::any_cast<std::string>(back.at("title")), "intro");
    const auto& marks = boost::any_cast<const fifo::array&>(back.at("marks"));
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(boost::any_cast<float>(marks[0]), 1.5f);
    EXPECT_TRUE(boost::any_cast<bool>(marks[1]));
    EXPECT_EQ(f.pop<std::string>(), "gain_db");
    EXPECT_EQ(f.pop<std::string>(), "double");
    EXPECT_EQ(f.pop<double>(), -1.25);
    EXPECT_EQ(f.pop<std::string>(), "frames");
    EXPECT_EQ(f.pop<std::string>(), "int64");
    EXPECT_EQ(f.pop<long long>(), 1LL << 40);
    EXPECT_TRUE(reply_consumed(f));

    expect_device_error([&] { d.write_func_props("rec", {prop("taps", meta)}); }, 18,
                        "rec.taps: a float_vector property cannot take a object value");
    expect_device_error([&] { d.write_func_props("rec", {prop("meta", std::vector<float>{1})}); }, 18,
                        "rec.meta: a object property cannot take a float_vector value");
    EXPECT_EQ(d.value_str("rec.path"), "/data/a.wav");

    // An object holding a nil could not be listed again: refused.
    std::lock_guard<std::mutex> lock(d.mutex);
    d.reset_request();
    d.fifo->push<int>(8);
    d.fifo->push<std::string>("rec");
    d.fifo->push<std::string>("meta");
    std::vector<unsigned char> raw;
    testing_support::put32(raw, tarn::fb::tag_object_begin);
    testing_support::put_string(raw, "gap");
    testing_support::put32(raw, tarn::fb::tag_nil);
    raw.push_back(0);
    testing_support::put32(raw, tarn::fb::tag_object_end);
    tarn::fb::detail::region r(d.fifo->request_header);
    const auto space = r.free_space(static_cast<std::uint32_t>(raw.size()));
    ASSERT_TRUE(space);
    std::memcpy(space->at, raw.data(), raw.size());
    r.add(tarn::fb::detail::write_cursor, static_cast<std::uint32_t>(raw.size()));
    expect_device_error([&] { d.ioctl_with_int_cmd("write_func_props"); }, 18,
                        "rec.meta: a nil cannot stand inside an array or object");
}

nlohmann::json block_in_state(const std::string& state, const std::string& name) {
    const auto j = nlohmann::json::parse(read_file(state));
    for (const auto& b : j.at("blocks"))
        if (b.at("name") == name) return b;
    return nullptr;
}

TEST_F(emu_properties, activation_and_resource_calls_are_kept) {
    tarn::fb::driver d;
    d.activate("osc1", false);
    EXPECT_EQ(block_in_state(state, "osc1").at("active"), false);
    d.activate("osc1", true);
    EXPECT_EQ(block_in_state(state, "osc1").at("active"), true);
    expect_device_error([&] { d.activate("ghost", true); }, 11, "activate: no function block named 'ghost'");

    d.write_resource_meth("osc1", "load", "table.bin", "", 7);
    d.write_resource_meth("osc2", "store", "a", "b", 8);
    const auto calls = nlohmann::json::parse(read_file(state)).at("resource_calls");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].at("texts"), (std::vector<std::string>{"osc1", "load", "table.bin"}));
    EXPECT_EQ(calls[0].at("number"), 7);
    EXPECT_EQ(calls[1].at("texts"), (std::vector<std::string>{"osc2", "store", "a", "b"}));
}

}  // namespace
