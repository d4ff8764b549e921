// SPDX-License-Identifier: MIT
// The commands that change the network's shape: blocks, connections,
// activity, resource methods.
#include "commands.hpp"
#include "failure.hpp"

namespace fbemu {

void create(call& c) { c.out.push<unsigned int>(c.net.create(c.args.texts[0], c.args.texts[1])); }

void destroy(call& c) { c.net.destroy(c.args.uint32s[0]); }

void connect(call& c) { c.net.connect(c.args.texts[0], c.args.texts[1], true); }

void connect_unchecked(call& c) { c.net.connect(c.args.texts[0], c.args.texts[1], false); }

void disconnect(call& c) { c.net.disconnect(c.args.texts[0], c.args.texts[1]); }

void activate(call& c) {
    const int flag = c.args.int32s[0];
    if (flag != 0 && flag != 1)
        throw failure(err_value_range, "activity flag must be 1 or 0, not " + std::to_string(flag));
    c.net.activate(c.args.texts[0], flag == 1);
}

// Two texts, a number, a third text and an optional fourth. The device keeps
// the most recent calls in its state; nothing else depends on them.
void res_method(call& c) {
    resource_call r;
    r.texts = c.args.texts;
    r.number = c.args.uint32s[0];
    c.net.record(std::move(r));
}

}  // namespace fbemu
