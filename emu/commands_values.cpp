// SPDX-License-Identifier: MIT
// Property writes and value reads.
#include <utility>
#include <vector>

#include "commands.hpp"
#include "value_types.hpp"

namespace fbemu {

// A block name and then (property name, value) pairs. The single-property
// write is the case of one pair; the bulk write may carry any number, none
// included. All are checked before any is stored.
void write_func_props(call& c) { c.net.write_properties(c.args.texts[0], c.args.named_values); }

// One value per name "block.property", as stored (an enum as its index);
// nil for a name the device does not know.
void value(call& c) {
    for (const auto& name : c.args.texts) {
        const boost::any* v = c.net.value(name);
        if (v)
            type_of(*v)->push(c.out, *v);
        else
            push_nil(c.out);
    }
}

}  // namespace fbemu
