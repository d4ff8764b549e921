// fbdump's walk of an emulated device: the documents against the network the
// device was given, the factory limit, standard output, device faults.
#include <stdlib.h>

#include <iostream>
#include <sstream>

#include <network_json.hpp>

#include "device_fixture.hpp"
#include "dot_output.hpp"
#include "expected_document.hpp"
#include "json_output.hpp"
#include "walk.hpp"

namespace {

using fbdump_test::expected_document;
using fbdump_test::json;

const std::string patch = std::string(FBDUMP_TEST_DIR) + "/networks/patch.json";

class fbdump_walk : public device_test {
protected:
    static json network_file(const std::string& file) { return json::parse(read_file(file)); }

    static json dump(const std::set<std::string>& only = {}, bool compact = false) {
        tarn::fb::driver d;
        return json::parse(fbdump::to_json(fbdump::walk(d, only), compact));
    }

    static std::string dot(const std::set<std::string>& only = {}) {
        tarn::fb::driver d;
        return fbdump::to_dot(fbdump::walk(d, only));
    }
};

TEST_F(fbdump_walk, the_document_is_the_emulated_network) {
    const json default_network = json::parse(fbemu::network_to_json(fbemu::default_network()).dump());
    EXPECT_EQ(dump(), expected_document(default_network));

    ::setenv("FBEMU_CATALOG", patch.c_str(), 1);
    EXPECT_EQ(dump(), expected_document(network_file(patch)));

    tarn::fb::driver d;
    const std::string compact = fbdump::to_json(fbdump::walk(d, {}), true);
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

TEST_F(fbdump_walk, a_fault_in_the_middle_of_the_walk_ends_it) {
    // ioctl 1 lists the factories, 2 the blocks of the first, 3 to 5 the
    // properties, inputs and outputs of its first block, and so on.
    for (const char* fault : {"ioctl@2", "status@3", "status-bare@4", "truncate@5", "corrupt@6", "cursor@9"}) {
        ::setenv("FBEMU_FAULT", fault, 1);
        EXPECT_THROW(dump(), std::runtime_error) << fault;
    }
}

// Edges as "tail -> head" lines of the graph, in the graph's order.
std::vector<std::string> edges(const std::string& graph) {
    std::vector<std::string> out;
    std::istringstream lines(graph);
    for (std::string line; std::getline(lines, line);)
        if (line.find(" -> ") != std::string::npos) out.push_back(line);
    return out;
}

TEST_F(fbdump_walk, the_graph_joins_output_ports_to_input_ports) {
    ::setenv("FBEMU_CATALOG", patch.c_str(), 1);
    // Nodes by factory and block name: b0 the odd block, b1 "out", b2 "src1", b3 "src2".
    const std::string all = dot();
    EXPECT_EQ(edges(all), (std::vector<std::string>{
                              "  b0:o1:e -> b3:i0:w;",  // o"q -> src2.sync
                              "  b0:o0:e -> b1:i1:w;",  // out\x -> out.right
                              "  b2:o0:e -> b0:i0:w;",  // src1.out -> "in 1"
                              "  b2:o0:e -> b1:i0:w;",  // src1.out -> out.left
                              "  b3:o0:e -> b0:i1:w;",  // src2.out -> <in2>
                          }));
    EXPECT_NE(all.find(R"(b0 [label="{{<i0> in\ 1|<i1> \<in2\>}|odd\"block\|\{x\}\<y\>\\z\n(odd\|factory\ \{x\})|)"
                       R"({<o0> out\\x|<o1> o\"q}}"];)"),
              std::string::npos)
        << all;
    EXPECT_NE(all.find(R"(b1 [label="{{<i0> left|<i1> right}|out\n(sink)}"];)"), std::string::npos) << all;

    // Ends outside the walk become plain nodes named by their endpoint.
    const std::string sink_only = dot({"sink"});
    EXPECT_EQ(edges(sink_only), (std::vector<std::string>{"  x0 -> b0:i1:w;", "  x1 -> b0:i0:w;"}));
    EXPECT_NE(sink_only.find(R"(x0 [shape=plaintext, label="odd\"block|{x}<y>\\z.out\\x"];)"), std::string::npos)
        << sink_only;
    EXPECT_NE(sink_only.find(R"(x1 [shape=plaintext, label="src1.out"];)"), std::string::npos) << sink_only;
}

}  // namespace
