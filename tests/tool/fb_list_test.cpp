// SPDX-License-Identifier: MIT
// The port listing against replies that end early: every row whose names were
// read is on standard output before the failure leaves fb_list.
#include <gtest/gtest.h>

#include <iomanip>
#include <iostream>
#include <sstream>

#include "colors.hpp"
#include "fake_device.hpp"
#include "frontends.hpp"
#include "stream.hpp"

using testing_support::stream;

namespace {

// What fb_list writes to std::cout until it returns or throws, and the
// message of the tarn::fb::fifo::error it threw ("" if none).
struct listing {
    std::string output;
    std::string failure;
};
listing list_outputs(const stream& reply) {
    fake_device::answer(stream().i32(0).then(reply).bytes);
    std::ostringstream captured;
    std::streambuf* saved = std::cout.rdbuf(captured.rdbuf());
    listing result;
    try {
        fb_list("out", "blk", 4);
    } catch (const tarn::fb::fifo::error& e) {
        result.failure = e.what();
    }
    std::cout.rdbuf(saved);
    result.output = captured.str();
    return result;
}

std::string port_row(int number, const std::string& port, const std::string& connection) {
    std::ostringstream row;
    row << "| " << std::setw(8) << number << " |" << color_green << std::setw(24) << port << " |" << std::setw(32)
        << connection << color_reset << " |\n";
    return row.str();
}
std::string continuation_row(const std::string& connection) {
    std::ostringstream row;
    row << "| " << std::setw(8) << " |" << color_green << std::setw(24) << " |" << std::setw(32) << connection
        << color_reset << " |\n";
    return row.str();
}
std::string header(int count) {
    std::ostringstream text;
    text << "list outports for functionblock: " << color_green << "blk" << color_reset << "\n\n"
         << "list outs: count = " << count << "\n"
         << std::setw(10) << "No."
         << " |" << std::setw(25) << "port"
         << " |" << std::setw(32) << "connected with"
         << " |\n"
         << std::string(68, '-') << "\n";
    return text.str();
}

const char* const string_pop_failed = "pop<std::__cxx11::basic_string<char> > failed";

}  // namespace

TEST(tool_port_listing, rows_already_read_are_written_before_a_reply_ends_early) {
    // Two ports; the second has two connections, of which only the first came.
    const listing two = list_outputs(stream().i32(2).str("a").i32(0).str("b").i32(2).str("x.in"));
    EXPECT_EQ(two.output, header(2) + port_row(1, "a", "") + port_row(2, "b", "x.in"));
    EXPECT_EQ(two.failure, string_pop_failed);

    // One port with three connections; the reply ends after the second.
    const listing three = list_outputs(stream().i32(1).str("o").i32(3).str("x.in").str("y.in"));
    EXPECT_EQ(three.output, header(1) + port_row(1, "o", "x.in") + continuation_row("y.in"));
    EXPECT_EQ(three.failure, string_pop_failed);
}
