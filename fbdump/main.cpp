// SPDX-License-Identifier: MIT
// fbdump: prints the device's whole function-block network as JSON or as a
// Graphviz graph.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <tarn/fb/network.hpp>

#include "dot_output.hpp"
#include "json_output.hpp"
#include "options.hpp"

namespace {

// A message from the device or the library on one line.
std::string one_line(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

int fail(const std::string& message) {
    std::cerr << "fbdump: " << one_line(message) << std::endl;
    return 1;
}

// Writes the whole text; 0 when standard output took it, else 1.
int print(const std::string& text) {
    std::cout << text << std::flush;
    return std::cout ? 0 : fail("cannot write standard output");
}

// The document, built completely before anything is printed.
std::string document(const fbdump::options& o) {
    const tarn::fb::network net = tarn::fb::read_network(tarn::fb::driver::instance(), o.factories);
    return o.dot ? fbdump::to_dot(net) : fbjson::to_json(net, o.compact);
}

}  // namespace

int main(int argc, char** argv) {
    fbdump::options o;
    try {
        o = fbdump::parse_options(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    } catch (const fbdump::usage_error& e) {
        std::cerr << "fbdump: " << e.what() << " (see fbdump --help)" << std::endl;
        return 2;
    }
    if (o.help) return print(fbdump::help_text);
    if (o.version) return print("fbdump " FBDUMP_VERSION "\n");

    std::string text;
    try {
        text = document(o);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    return print(text);
}
