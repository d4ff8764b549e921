// SPDX-License-Identifier: MIT
#pragma once
// The emulated device's network: factories with their typed properties and
// ports, the blocks made from them, and the connections between ports. Every
// operation checks its arguments and throws fbemu::failure when the network
// does not allow it; a failed operation changes nothing.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <boost/any.hpp>

namespace fbemu {

struct property_decl {
    std::string name;
    std::string type;                  // a value type name or "enum"
    std::vector<std::string> choices;  // the choices of an enum
    boost::any initial;                // the value a new block starts with
};

struct factory {
    std::string name;
    std::vector<property_decl> properties;
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;

    const property_decl* property(const std::string& name) const;
    bool has_input(const std::string& port) const;
    bool has_output(const std::string& port) const;
};

struct block {
    std::string name;
    std::string factory;
    unsigned int ticket = 0;
    bool active = true;
    std::map<std::string, boost::any> values;  // one per declared property
};

// Connections run from "block.port" of an output to "block.port" of an input.
struct connection {
    std::string source;
    std::string destination;
};

// The arguments of a resource method call, as received.
struct resource_call {
    std::vector<std::string> texts;
    unsigned int number = 0;
};

// One successful change of the network, as the state journal keeps it.
struct change {
    enum kind { create, destroy, connect, disconnect, write_properties, activate, record };
    kind what;
    std::vector<std::string> texts;                          // names, endpoints or the call's texts
    unsigned int number = 0;                                 // ticket, check flag, activity flag or the call's number
    std::vector<std::pair<std::string, boost::any>> values;  // as stored, for write_properties
};

struct port_connections {
    std::string port;
    std::vector<std::string> peers;  // "block.port" at the other end, oldest first
};

class network {
public:
    std::vector<factory> factories;
    std::map<std::string, block> blocks;
    std::vector<connection> connections;
    std::vector<resource_call> resource_calls;  // the most recent ones
    unsigned int next_ticket = 1;
    // The changes made since the state store last took them, oldest first.
    std::vector<change> changes;

    const factory& factory_named(const std::string& name) const;
    const block& block_named(const std::string& name) const;
    const factory& factory_of(const block& b) const;

    std::vector<std::string> blocks_of(const std::string& factory) const;
    std::vector<port_connections> outputs_of(const std::string& block) const;
    std::vector<port_connections> inputs_of(const std::string& block) const;
    // What the output "block.port" is connected with.
    std::vector<std::string> output_connections(const std::string& endpoint) const;
    // The stored value of "block.property", or null when there is none.
    const boost::any* value(const std::string& name) const;

    unsigned int create(const std::string& factory, const std::string& name);
    void destroy(unsigned int ticket);
    // `check_occupied` false skips only the rule that an input takes one connection.
    void connect(const std::string& source, const std::string& destination, bool check_occupied);
    void disconnect(const std::string& source, const std::string& destination);
    // All values are checked before any is stored.
    void write_properties(const std::string& block, const std::vector<std::pair<std::string, boost::any>>& values);
    void activate(const std::string& block, bool active);
    void record(resource_call call);

    // How many resource method calls are kept.
    static constexpr std::size_t kept_resource_calls = 32;

private:
    block& mutable_block(const std::string& name);
    enum class side { output, input };
    // Checks that `endpoint` names an existing port on the given side.
    void check_port(const std::string& endpoint, side s, const char* role) const;
    std::vector<port_connections> ports_of(const std::string& block, side s) const;
};

// Splits "block.port" at its first dot; false when there is no dot.
bool split_endpoint(const std::string& endpoint, std::string& block, std::string& item);

// Whether `name` may name a block: not empty, no dot, no blank or control character.
bool valid_block_name(const std::string& name);

}  // namespace fbemu
