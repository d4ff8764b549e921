// SPDX-License-Identifier: MIT
// fbdump's options and the text it puts into graph labels.
#include <gtest/gtest.h>

#include "options.hpp"
#include "text.hpp"

namespace {

using fbdump::options;
using args = std::vector<std::string>;

// The options as one line, or the usage error.
std::string parsed(const args& a) {
    try {
        const options o = fbdump::parse_options(a);
        std::string text;
        if (o.dot) text += "dot ";
        if (o.compact) text += "compact ";
        if (o.help) text += "help ";
        if (o.version) text += "version ";
        for (const auto& f : o.factories) text += "[" + f + "] ";
        return text;
    } catch (const cli::usage_error& e) {
        return std::string("error: ") + e.what();
    }
}

TEST(fbdump_options, accepted_and_refused_command_lines) {
    const std::pair<args, std::string> cases[] = {
        {{}, ""},
        {{"--dot", "--compact"}, "dot compact "},
        {{"-h"}, "help "},
        {{"--version"}, "version "},
        {{"--factory", "mixer", "--factory=gain", "--factory", "mixer"}, "[gain] [mixer] "},
        {{"--factory", "--dot"}, "[--dot] "},  // a name, as taken
        {{"--factory="}, "[] "},
        {{"--factory"}, "error: option --factory needs a factory name"},
        {{"--dot", "--frobnicate"}, "error: unknown option '--frobnicate'"},
        {{"--compact=yes"}, "error: option --compact takes no value"},
        {{"--frobnicate=1"}, "error: unknown option '--frobnicate=1'"},
        {{"-x"}, "error: unknown option '-x'"},
        {{"mixer"}, "error: unexpected argument 'mixer'"},
        {{""}, "error: unexpected argument ''"},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(parsed(line), expected);
}

TEST(fbdump_text, printable_utf8_keeps_characters_and_replaces_the_rest) {
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"plain name", "plain name"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"},
        {std::string("a\nb\tc\x7f") + '\0', "a" + r + "b" + r + "c" + r + r},
        {"\xC0\x80", r + r},                  // overlong
        {"\xED\xA0\x80", r + r + r},          // surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
        {"\xE2\x82", r + r},                  // cut short
        {"\x80x\xF5", r + "x" + r},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(fbdump::printable_utf8(in), out) << in;
}

}  // namespace
