// SPDX-License-Identifier: MIT
// Hostile replies to the property and port listings, read by the tool's own
// listing front end (fb_list "prop", "out" and "in") through a device that
// answers from the input (window_device.hpp).
//
// Input: a control byte (bits 0-1: header layout, see guarded_window.hpp;
// bits 2-3: the listing; bit 4: the ioctl fails); for the offsets and raw
// layouts six header words; then the whole reply, status word included. In
// the formatted layout the reply ends where the window ends, so reading one
// byte past it faults.
//
// The listing must end either in a clean error (driver::error or fifo::error)
// or in a complete table, and it must end in a table exactly when the reply
// holds status 0, a count and that many entries.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>

#include <tarn/fb/driver.hpp>
#include <tarn/fb/entries.hpp>

#include "frontends.hpp"
#include "input.hpp"
#include "window_device.hpp"

namespace {

namespace fb = tarn::fb;

struct listing {
    const char* action;
    bool properties;
};
const listing listings[] = {{"prop", true}, {"out", false}, {"in", false}, {"prop", true}};

// Whether the planned reply holds status 0, a count and that many entries,
// read with the library's entry readers straight from the window.
bool holds_whole_table(const window_device::reply& reply, bool properties) {
    if (reply.ioctl_fails) return false;
    fuzzing::guarded_window& w = window_device::window();
    fuzzing::lay_region(w.reply_header(), reply.layout, reply.words, reply.data, true);
    fb::fifo f = w.client();
    try {
        if (f.pop<int>() != 0) return false;
        const int count = f.pop<int>();
        for (int i = 0; i < count; ++i) properties ? (void)fb::pop_property_entry(f) : (void)fb::pop_port_entry(f);
    } catch (const fb::fifo::error&) {
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::input in(data, size);
    const std::uint8_t control = in.byte();
    const listing& l = listings[(control >> 2) & 3];
    window_device::reply reply;
    reply.layout = fuzzing::layout_of(control);
    reply.ioctl_fails = (control & 16) != 0;
    if (reply.layout != fuzzing::header_layout::formatted) in.words(reply.words);
    reply.data = in.rest();
    window_device::plan(reply);

    std::ostringstream out;
    std::streambuf* const console = std::cout.rdbuf(out.rdbuf());
    bool table = false;
    try {
        fb_list(l.action, "block", 4);
        table = true;
    } catch (const fb::driver::error&) {
    } catch (const fb::fifo::error&) {
    }
    std::cout.rdbuf(console);
    std::cout.clear();

    fuzzing::require(table == holds_whole_table(reply, l.properties),
                     table ? "a listing ended in a table although the reply does not hold one"
                           : "a listing failed although the reply holds a whole table");
    return 0;
}
