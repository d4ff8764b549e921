// SPDX-License-Identifier: MIT
// fbdump: prints the device's whole function-block network as JSON or as a
// Graphviz graph.
#include <tarn/fb/network.hpp>
#include <tool.hpp>

#include "dot_output.hpp"
#include "json_output.hpp"
#include "options.hpp"
#include "watch.hpp"

namespace {

// The document, built completely before anything is printed.
int dump(const fbdump::options& o) {
    if (o.watch) fbdump::watch(o);
    const tarn::fb::network net = tarn::fb::read_network(tarn::fb::driver::instance(), o.factories);
    cli::print(o.dot ? fbdump::to_dot(net) : fbjson::to_json(net, o.compact));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const cli::tool self{"fbdump", FBDUMP_VERSION, fbdump::help_text, 2};
    return cli::run_tool(self, argc, argv, fbdump::parse_options, dump);
}
