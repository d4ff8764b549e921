// SPDX-License-Identifier: MIT
// fbdump's reading of an emulated device: the document against the network the
// device was given, the factory limit, standard output. Device faults and
// the graph are tested with fbdump as a process (cases/, render.sh).
#include <stdlib.h>

#include <iostream>
#include <sstream>

#include <network_json.hpp>

#include "device_fixture.hpp"
#include "expected_document.hpp"
#include "json_output.hpp"
#include <tarn/fb/network.hpp>

namespace {

using fbdump_test::expected_document;
using fbdump_test::json;

const std::string patch = std::string(FBDUMP_TEST_DIR) + "/networks/patch.json";

class fbdump_walk : public device_test {
protected:
    static json network_file(const std::string& file) { return json::parse(read_file(file)); }

    static json dump(const std::set<std::string>& only = {}, bool compact = false) {
        tarn::fb::driver d;
        return json::parse(fbjson::to_json(tarn::fb::read_network(d, only), compact));
    }
};

TEST_F(fbdump_walk, the_document_is_the_emulated_network) {
    const json default_network = json::parse(fbemu::network_to_json(fbemu::default_network()).dump());
    EXPECT_EQ(dump(), expected_document(default_network));

    ::setenv("FBEMU_CATALOG", patch.c_str(), 1);
    EXPECT_EQ(dump(), expected_document(network_file(patch)));

    tarn::fb::driver d;
    const std::string compact = fbjson::to_json(tarn::fb::read_network(d), true);
    EXPECT_EQ(compact.find('\n'), compact.size() - 1);
    EXPECT_EQ(json::parse(compact), expected_document(network_file(patch)));
}

TEST_F(fbdump_walk, the_factory_limit_walks_only_the_named_factories) {
    ::setenv("FBEMU_CATALOG", patch.c_str(), 1);
    EXPECT_EQ(dump({"unused", "sink"}), expected_document(network_file(patch), {"sink", "unused"}));
    expect_device_error([] { dump({"sink", "no_such_factory"}); }, 10, "no_such_factory");
}

// The session's name lists write their count lines on std::cout.
TEST_F(fbdump_walk, nothing_reaches_standard_output_and_it_is_given_back) {
    std::ostringstream captured;
    std::streambuf* const saved = std::cout.rdbuf(captured.rdbuf());
    dump();
    std::cout << "after the walk|";
    ::setenv("FBEMU_FAULT", "status@2", 1);  // list_funcs fails
    EXPECT_THROW(dump(), tarn::fb::driver::error);
    std::cout << "after the failure";
    std::cout.rdbuf(saved);
    EXPECT_EQ(captured.str(), "after the walk|after the failure");
}

}  // namespace
