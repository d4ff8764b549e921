// SPDX-License-Identifier: MIT
// Queries and edits of the network, each checked against its rules.
#include "network.hpp"

#include <algorithm>

#include "failure.hpp"
#include "property_rules.hpp"

namespace fbemu {

const property_decl* factory::property(const std::string& n) const {
    for (const auto& p : properties)
        if (p.name == n) return &p;
    return nullptr;
}
bool factory::has_input(const std::string& port) const {
    return std::find(inputs.begin(), inputs.end(), port) != inputs.end();
}
bool factory::has_output(const std::string& port) const {
    return std::find(outputs.begin(), outputs.end(), port) != outputs.end();
}

bool split_endpoint(const std::string& endpoint, std::string& block, std::string& item) {
    const auto dot = endpoint.find('.');
    if (dot == std::string::npos) return false;
    block = endpoint.substr(0, dot);
    item = endpoint.substr(dot + 1);
    return true;
}

bool valid_block_name(const std::string& name) {
    if (name.empty()) return false;
    for (unsigned char c : name)
        if (c == '.' || c <= ' ' || c == 0x7f) return false;
    return true;
}

const factory& network::factory_named(const std::string& name) const {
    for (const auto& f : factories)
        if (f.name == name) return f;
    throw failure(err_unknown_factory, "no factory named '" + name + "'");
}

const block& network::block_named(const std::string& name) const {
    const auto it = blocks.find(name);
    if (it == blocks.end()) throw failure(err_unknown_block, "no function block named '" + name + "'");
    return it->second;
}

block& network::mutable_block(const std::string& name) { return const_cast<block&>(block_named(name)); }

const factory& network::factory_of(const block& b) const { return factory_named(b.factory); }

std::vector<std::string> network::blocks_of(const std::string& factory) const {
    factory_named(factory);
    std::vector<std::string> names;
    for (const auto& [name, b] : blocks)
        if (b.factory == factory) names.push_back(name);
    return names;
}

std::vector<port_connections> network::ports_of(const std::string& name, side s) const {
    const factory& f = factory_of(block_named(name));
    std::vector<port_connections> ports;
    for (const auto& port : s == side::output ? f.outputs : f.inputs) {
        port_connections pc{port, {}};
        const std::string endpoint = name + "." + port;
        for (const auto& c : connections) {
            if (s == side::output && c.source == endpoint) pc.peers.push_back(c.destination);
            if (s == side::input && c.destination == endpoint) pc.peers.push_back(c.source);
        }
        ports.push_back(std::move(pc));
    }
    return ports;
}

std::vector<port_connections> network::outputs_of(const std::string& block) const {
    return ports_of(block, side::output);
}
std::vector<port_connections> network::inputs_of(const std::string& block) const {
    return ports_of(block, side::input);
}

void network::check_port(const std::string& endpoint, side s, const char* role) const {
    std::string b, port;
    if (!split_endpoint(endpoint, b, port))
        throw failure(err_unknown_port, std::string(role) + " '" + endpoint + "' is not of the form block.port");
    const auto it = blocks.find(b);
    if (it == blocks.end())
        throw failure(err_unknown_block,
                      std::string(role) + " '" + endpoint + "': no function block named '" + b + "'");
    const factory& f = factory_of(it->second);
    const bool exists = s == side::output ? f.has_output(port) : f.has_input(port);
    if (!exists)
        throw failure(err_unknown_port, std::string(role) + " '" + endpoint + "': block '" + b + "' has no " +
                                            (s == side::output ? "output" : "input") + " port '" + port + "'");
}

std::vector<std::string> network::output_connections(const std::string& endpoint) const {
    check_port(endpoint, side::output, "output");
    std::vector<std::string> peers;
    for (const auto& c : connections)
        if (c.source == endpoint) peers.push_back(c.destination);
    return peers;
}

const boost::any* network::value(const std::string& name) const {
    std::string b, property;
    if (!split_endpoint(name, b, property)) return nullptr;
    const auto it = blocks.find(b);
    if (it == blocks.end()) return nullptr;
    const auto v = it->second.values.find(property);
    return v == it->second.values.end() ? nullptr : &v->second;
}

unsigned int network::create(const std::string& factory_name, const std::string& name) {
    const factory& f = factory_named(factory_name);
    if (!valid_block_name(name))
        throw failure(
            err_bad_name,
            "'" + name + "' cannot name a function block (empty, or holds a dot, blank or control character)");
    if (blocks.count(name)) throw failure(err_duplicate_name, "a function block named '" + name + "' exists already");
    if (next_ticket == 0) throw failure(err_unknown_ticket, "no tickets left");
    block b;
    b.name = name;
    b.factory = f.name;
    b.ticket = next_ticket++;
    for (const auto& p : f.properties) b.values[p.name] = p.initial;
    const unsigned int ticket = b.ticket;
    blocks[name] = std::move(b);
    changes.push_back({change::create, {f.name, name}, ticket, {}});
    return ticket;
}

void network::destroy(unsigned int ticket) {
    const auto it = std::find_if(blocks.begin(), blocks.end(),
                                 [ticket](const auto& entry) { return entry.second.ticket == ticket; });
    if (it == blocks.end()) throw failure(err_unknown_ticket, "no function block has ticket " + std::to_string(ticket));
    const std::string prefix = it->first + ".";
    const auto touches = [&prefix](const connection& c) {
        return c.source.compare(0, prefix.size(), prefix) == 0 || c.destination.compare(0, prefix.size(), prefix) == 0;
    };
    connections.erase(std::remove_if(connections.begin(), connections.end(), touches), connections.end());
    blocks.erase(it);
    changes.push_back({change::destroy, {}, ticket, {}});
}

void network::connect(const std::string& source, const std::string& destination, bool check_occupied) {
    check_port(source, side::output, "source");
    check_port(destination, side::input, "destination");
    for (const auto& c : connections) {
        if (c.source == source && c.destination == destination)
            throw failure(err_duplicate_connection, source + " is already connected with " + destination);
        if (check_occupied && c.destination == destination)
            throw failure(err_input_occupied, "input " + destination + " is already connected with " + c.source);
    }
    connections.push_back({source, destination});
    changes.push_back({change::connect, {source, destination}, check_occupied ? 1u : 0u, {}});
}

void network::disconnect(const std::string& source, const std::string& destination) {
    check_port(source, side::output, "source");
    check_port(destination, side::input, "destination");
    const auto it = std::find_if(connections.begin(), connections.end(), [&](const connection& c) {
        return c.source == source && c.destination == destination;
    });
    if (it == connections.end()) throw failure(err_no_connection, source + " is not connected with " + destination);
    connections.erase(it);
    changes.push_back({change::disconnect, {source, destination}, 0, {}});
}

void network::write_properties(const std::string& name, const std::vector<std::pair<std::string, boost::any>>& values) {
    block& b = mutable_block(name);
    const factory& f = factory_of(b);
    std::vector<std::pair<std::string, boost::any>> accepted;
    for (const auto& [property, v] : values) {
        const std::string full_name = name + "." + property;
        const property_decl* decl = f.property(property);
        if (!decl) throw failure(err_unknown_property, full_name + ": no such property (factory '" + f.name + "')");
        accepted.emplace_back(property, accept_value(*decl, v, full_name));
    }
    for (const auto& [property, v] : accepted) b.values[property] = v;
    changes.push_back({change::write_properties, {name}, 0, std::move(accepted)});
}

void network::activate(const std::string& name, bool active) {
    mutable_block(name).active = active;
    changes.push_back({change::activate, {name}, active ? 1u : 0u, {}});
}

void network::record(resource_call call) {
    changes.push_back({change::record, call.texts, call.number, {}});
    resource_calls.push_back(std::move(call));
    if (resource_calls.size() > kept_resource_calls)
        resource_calls.erase(resource_calls.begin(),
                             resource_calls.end() - static_cast<std::ptrdiff_t>(kept_resource_calls));
}

}  // namespace fbemu
