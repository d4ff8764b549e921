// SPDX-License-Identifier: MIT
// The change object between two readings of the network, as fbweb's events
// and fbdump --watch give it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "network_changes.hpp"

namespace {

using json = nlohmann::json;
using namespace tarn::fb;

property_data float_property(const std::string& name, float value) { return {name, "float", value, {}}; }

block_state block(const std::string& name, float level, std::vector<std::string> out_to = {}) {
    block_state b;
    b.name = name;
    b.properties = {float_property("level", level), {"mode", "enum", 0, {"lin", "log"}}};
    b.inputs = {{"in", 0, {}}};
    b.outputs = {{"out", 0, std::move(out_to)}};
    return b;
}

// Two gains, a feeding b.
network base() {
    network n;
    n.factories = {{"gain", {block("a", 1.0F, {"b.in"}), block("b", 0.5F)}}};
    n.factories[0].blocks[1].inputs[0].connections = {"a.out"};
    return n;
}

json changes(const network& before, const network& after) {
    const std::string text = fbjson::network_changes(before, after, "\"e1\"");
    return text.empty() ? json() : json::parse(text);
}

TEST(network_changes, nothing_changed_gives_nothing) { EXPECT_TRUE(changes(base(), base()).is_null()); }

TEST(network_changes, property_values_name_block_property_and_new_value) {
    network after = base();
    after.factories[0].blocks[1].properties[0].value = 0.25F;
    after.factories[0].blocks[0].properties[1].value = 1;
    EXPECT_EQ(changes(base(), after), json::parse(R"({"etag": "\"e1\"", "properties": [
        {"block": "a", "name": "mode", "value": {"choices": ["lin", "log"], "index": 1}},
        {"block": "b", "name": "level", "value": 0.25}]})"));
}

TEST(network_changes, blocks_come_and_go_with_their_connections) {
    network after = base();
    after.factories.push_back({"osc", {block("c", 2.0F, {"b.in"})}});
    after.factories[0].blocks.erase(after.factories[0].blocks.begin());  // a goes
    after.factories[0].blocks[0].inputs[0].connections = {"c.out"};
    const json got = changes(base(), after);
    EXPECT_EQ(got["blocks_removed"], json::array({"a"}));
    ASSERT_EQ(got["blocks_added"].size(), 1U);
    EXPECT_EQ(got["blocks_added"][0]["factory"], "osc");
    EXPECT_EQ(got["blocks_added"][0]["name"], "c");
    EXPECT_EQ(got["blocks_added"][0]["outputs"][0]["connections"], json::array({"b.in"}));
    EXPECT_EQ(got["connections_added"], json::parse(R"([{"from": "c.out", "to": "b.in"}])"));
    EXPECT_EQ(got["connections_removed"], json::parse(R"([{"from": "a.out", "to": "b.in"}])"));
    EXPECT_FALSE(got.contains("properties"));
}

TEST(network_changes, a_name_in_another_factory_is_a_new_block) {
    network after = base();
    after.factories.push_back({"osc", {after.factories[0].blocks[1]}});
    after.factories[0].blocks.pop_back();
    const json got = changes(base(), after);
    EXPECT_EQ(got["blocks_removed"], json::array({"b"}));
    EXPECT_EQ(got["blocks_added"][0]["factory"], "osc");
    EXPECT_FALSE(got.contains("connections_added"));  // a.out -> b.in is still there
}

TEST(network_changes, a_connection_listed_on_one_side_only_counts) {
    network after = base();
    after.factories[0].blocks[0].outputs[0].connections.clear();
    EXPECT_TRUE(changes(base(), after).is_null());
    after.factories[0].blocks[1].inputs[0].connections.clear();
    EXPECT_EQ(changes(base(), after)["connections_removed"].size(), 1U);
}

TEST(network_changes, the_watch_pace_follows_the_walk) {
    using std::chrono::milliseconds;
    EXPECT_EQ(fbjson::watch_interval(milliseconds(2)), milliseconds(500));
    EXPECT_EQ(fbjson::watch_interval(milliseconds(100)), milliseconds(2000));
}

}  // namespace
