// SPDX-License-Identifier: MIT
// Property values from reply to document: the entry reader on hand-made
// replies, and values the emulator never sends written as JSON.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <tarn/fb/entries.hpp>

#include "json_output.hpp"
#include "stream.hpp"
#include "window.hpp"

namespace {

using json = nlohmann::json;
using testing_support::stream;
using namespace tarn::fb;

TEST(fbdump_values, entries_are_read_in_step_whatever_their_tag) {
    testing_support::window w;
    // A uint16 (no typed pop), then an enum, then a declared float sent as an int.
    w.set_reply(stream()
                    .str("width")
                    .str("uint16")
                    .scalar<std::uint16_t>(tag_uint16, 65535)
                    .str("mode")
                    .str("enum")
                    .i32(2)
                    .str("a")
                    .str("b")
                    .i32(1)
                    .str("gain")
                    .str("float")
                    .i32(3)
                    .bytes);
    const property_data width = pop_property_data(w.fifo);
    EXPECT_EQ(boost::any_cast<unsigned int>(width.value), 65535u);
    const property_data mode = pop_property_data(w.fifo);
    EXPECT_EQ(mode.choices, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(boost::any_cast<int>(mode.value), 1);
    EXPECT_THROW(pop_property_data(w.fifo), fifo::error);  // as patchbay's listing fails on it

    w.set_reply(stream().str("x").str("blob").tag(999).bytes);
    EXPECT_THROW(pop_property_data(w.fifo), fifo::error);
}

// One block holding the given properties, as a document.
json document_of(std::vector<property_data> properties, const std::string& block_name = "b") {
    network net;
    net.factories.push_back({"f", {{block_name, std::move(properties), {}, {}}}});
    return json::parse(fbjson::to_json(net, true));
}

TEST(fbdump_values, numbers_json_cannot_hold_and_text_that_is_not_utf8) {
    const float inf = std::numeric_limits<float>::infinity();
    const json doc = document_of(
        {
            {"a", "double", std::numeric_limits<double>::quiet_NaN(), {}},
            {"b", "float_vector", std::vector<float>{-inf, 0.1f}, {}},
            {"c", "string", std::string("bad \xff\xfe byte"), {}},
            {"d", "nil", nil{}, {}},
            {"e", "enum", 7, {"only"}},  // an index the choices do not reach is shown as sent
        },
        "blk\xc3");
    const json& block = doc["factories"][0]["blocks"][0];
    EXPECT_EQ(block["name"], "blk\xEF\xBF\xBD");
    const json& p = block["properties"];
    EXPECT_EQ(p[0]["value"], "nan");
    EXPECT_EQ(p[1]["value"], json::parse(R"(["-inf", 0.1])"));
    EXPECT_EQ(p[2]["value"], "bad \xEF\xBF\xBD\xEF\xBF\xBD byte");
    EXPECT_TRUE(p[3]["value"].is_null());
    EXPECT_EQ(p[4]["value"], json::parse(R"({"choices": ["only"], "index": 7})"));
}

}  // namespace
