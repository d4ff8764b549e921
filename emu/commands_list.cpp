// SPDX-License-Identifier: MIT
// The listing commands: factories, blocks, properties, ports, connections.
#include <vector>

#include "commands.hpp"
#include "value_types.hpp"

namespace fbemu {
namespace {

void push_names(tarn::fb::fifo& out, const std::vector<std::string>& names) {
    out.push<int>(static_cast<int>(names.size()));
    for (const auto& n : names) out.push(n);
}

// Per port: its name, the number of connections, then every connection.
void push_ports(tarn::fb::fifo& out, const std::vector<port_connections>& ports) {
    out.push<int>(static_cast<int>(ports.size()));
    for (const auto& p : ports) {
        out.push(p.port);
        push_names(out, p.peers);
    }
}

}  // namespace

void list_factories(call& c) {
    std::vector<std::string> names;
    for (const auto& f : c.net.factories) names.push_back(f.name);
    push_names(c.out, names);
}

void list_funcs(call& c) { push_names(c.out, c.net.blocks_of(c.args.texts[0])); }

// Per property: name, type name, value. An enum sends its choices and then
// the index of the current one; every other type sends its value as stored.
void list_func_props(call& c) {
    const block& b = c.net.block_named(c.args.texts[0]);
    const factory& f = c.net.factory_of(b);
    c.out.push<int>(static_cast<int>(f.properties.size()));
    for (const auto& p : f.properties) {
        c.out.push(p.name);
        c.out.push(p.type);
        const boost::any& v = b.values.at(p.name);
        if (p.type == "enum") {
            push_names(c.out, p.choices);
            c.out.push<int>(boost::any_cast<int>(v));
        } else {
            type_of(v)->push(c.out, v);
        }
    }
}

void list_outputs(call& c) { push_ports(c.out, c.net.outputs_of(c.args.texts[0])); }
void list_inputs(call& c) { push_ports(c.out, c.net.inputs_of(c.args.texts[0])); }

void list_output_cons(call& c) { push_names(c.out, c.net.output_connections(c.args.texts[0])); }

}  // namespace fbemu
