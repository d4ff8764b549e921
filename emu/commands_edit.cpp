// SPDX-License-Identifier: MIT
// The commands that change the network's shape: blocks, connections,
// activity, resource methods.
#include "commands.hpp"
#include "failure.hpp"

namespace fbemu {

void create(call& c) {
    const std::string factory = c.in.text("factory name");
    const std::string name = c.in.text("block name");
    c.out.push<unsigned int>(c.net.create(factory, name));
}

void destroy(call& c) { c.net.destroy(c.in.uint32("ticket")); }

void connect(call& c) {
    const std::string source = c.in.text("source");
    c.net.connect(source, c.in.text("destination"), true);
}

void connect_unchecked(call& c) {
    const std::string source = c.in.text("source");
    c.net.connect(source, c.in.text("destination"), false);
}

void disconnect(call& c) {
    const std::string source = c.in.text("source");
    c.net.disconnect(source, c.in.text("destination"));
}

void activate(call& c) {
    const std::string block = c.in.text("block name");
    const int flag = c.in.int32("activity flag");
    if (flag != 0 && flag != 1)
        throw failure(err_value_range, "activity flag must be 1 or 0, not " + std::to_string(flag));
    c.net.activate(block, flag == 1);
}

// Two texts, a number, a third text and an optional fourth. The device keeps
// the most recent calls in its state; nothing else depends on them.
void res_method(call& c) {
    resource_call r;
    r.texts.push_back(c.in.text("first text"));
    r.texts.push_back(c.in.text("second text"));
    r.number = c.in.uint32("number");
    r.texts.push_back(c.in.text("third text"));
    if (!c.in.at_end()) r.texts.push_back(c.in.text("fourth text"));
    c.net.record(std::move(r));
}

}  // namespace fbemu
