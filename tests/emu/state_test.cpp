// SPDX-License-Identifier: MIT
// The state file and the catalog file: where a device starts from, and bad
// files reported without being touched.
#include <stdlib.h>

#include <filesystem>
#include <set>
#include <string>

#include "device_fixture.hpp"

namespace {

using names = std::set<std::string>;

class emu_state_files : public device_test {};

TEST_F(emu_state_files, a_state_file_that_cannot_be_parsed_is_reported_and_kept) {
    const std::string garbage = "{\"factories\": [ {\"name\": \"gain\" ";
    write_file(state, garbage);
    tarn::fb::driver d;
    expect_device_error([&] { d.list_factories(); }, 30, "list_factories: state file " + state + ": ");
    expect_device_error([&] { d.create("gain", "g"); }, 30, "parse error");
    EXPECT_EQ(read_file(state), garbage);
}

TEST_F(emu_state_files, a_state_file_that_is_not_a_valid_network_is_reported_and_kept) {
    struct bad_file {
        const char* text;
        const char* reason;
    };
    const bad_file files[] = {
        {R"([1, 2])", "a JSON object expected"},
        {R"({"factories": [{"name": "g", "properties": [{"name": "p", "type": "flaot"}]}]})",
         "factories[0].properties[0].type: unknown type 'flaot'"},
        {R"({"factories": [{"name": "g"}], "blocks": [{"name": "b", "factory": "h", "ticket": 1}]})",
         "blocks[0].factory: no factory named 'h'"},
        {R"({"factories": [{"name": "g", "inputs": ["in"]}],
             "blocks": [{"name": "a", "factory": "g", "ticket": 3}, {"name": "b", "factory": "g", "ticket": 3}]})",
         "blocks[1]: ticket 3 appears twice"},
        {R"({"factories": [{"name": "g", "outputs": ["out"]}], "blocks": [{"name": "a", "factory": "g", "ticket": 1}],
             "connections": [{"from": "a.out", "to": "a.in"}]})",
         "connections[0]: destination 'a.in': block 'a' has no input port 'in'"},
        {R"({"factories": [{"name": "g", "properties": [{"name": "n", "type": "uint8", "default": 300}]}]})",
         "factories[0].properties[0].default: integer out of range"},
        {R"({"factories": [], "next_ticket": 0})", "next_ticket"},
    };
    tarn::fb::driver d;
    for (const auto& f : files) {
        write_file(state, f.text);
        expect_device_error([&] { d.create("g", "x"); }, 30, f.reason);
        EXPECT_EQ(read_file(state), f.text);
    }
}

TEST_F(emu_state_files, an_unreadable_state_file_is_reported) {
    ASSERT_TRUE(std::filesystem::create_directory(state));  // a directory cannot be read as a file
    tarn::fb::driver d;
    expect_device_error([&] { d.list_factories(); }, 30, "state file " + state + ": cannot read");
}

TEST_F(emu_state_files, a_catalog_replaces_the_default_network_until_the_state_exists) {
    const std::string catalog = path("catalog.json");
    write_file(catalog, R"({"factories": [{"name": "tone", "outputs": ["out"]}, {"name": "sink", "inputs": ["in"]}],
                             "blocks": [{"name": "t", "factory": "tone", "ticket": 41}]})");
    ::setenv("FBEMU_CATALOG", catalog.c_str(), 1);
    tarn::fb::driver d;
    EXPECT_EQ(d.list_factories(), (names{"sink", "tone"}));
    EXPECT_EQ(d.create("sink", "s"), 42u);
    d.connect("t.out", "s.in");
    // From now on the state file counts; the catalog is not read again.
    write_file(catalog, "not json");
    EXPECT_EQ(d.list_funcs("sink"), (names{"s"}));
    EXPECT_EQ(d.list_output_cons("t.out"), (names{"s.in"}));
}

TEST_F(emu_state_files, a_bad_catalog_is_reported_naming_the_file) {
    ::setenv("FBEMU_CATALOG", path("missing.json").c_str(), 1);
    tarn::fb::driver d;
    expect_device_error([&] { d.list_factories(); }, 32, "catalog file " + path("missing.json") + ": cannot read");
    write_file(path("bad.json"), R"({"factories": [{"name": "a"}, {"name": "a"}]})");
    ::setenv("FBEMU_CATALOG", path("bad.json").c_str(), 1);
    expect_device_error([&] { d.list_factories(); }, 32, "factories[1]: factory 'a' appears twice");
}

TEST_F(emu_state_files, text_that_is_not_utf8_is_refused_and_nothing_stored) {
    tarn::fb::driver d;
    d.create("gain", "ok");
    const std::string before = read_file(state);
    expect_device_error([&] { d.create("gain", "bad\xff"); }, 31, "cannot store the network");
    EXPECT_EQ(read_file(state), before);
}

}  // namespace
