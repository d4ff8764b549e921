// SPDX-License-Identifier: MIT
// Property writes and value reads.
#include <utility>
#include <vector>

#include "commands.hpp"
#include "value_types.hpp"

namespace fbemu {

// Code 8 carries a block name and then (property name, value) pairs until the
// request ends. The single-property write is the case of one pair; the bulk
// write may carry any number, none included. All are checked before any is
// stored.
void write_func_props(call& c) {
    const std::string block = c.in.text("block name");
    std::vector<std::pair<std::string, boost::any>> values;
    while (!c.in.at_end()) {
        std::string property = c.in.text("property name");
        boost::any v = c.in.value("value of " + block + "." + property);
        values.emplace_back(std::move(property), std::move(v));
    }
    c.net.write_properties(block, values);
}

// One value per name "block.property", as stored (an enum as its index);
// nil for a name the device does not know.
void value(call& c) {
    std::vector<std::string> names;
    while (!c.in.at_end()) names.push_back(c.in.text("value name"));
    for (const auto& name : names) {
        const boost::any* v = c.net.value(name);
        if (v)
            type_of(*v)->push(c.out, *v);
        else
            push_nil(c.out);
    }
}

}  // namespace fbemu
