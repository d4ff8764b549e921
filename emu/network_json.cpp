// SPDX-License-Identifier: MIT
// Reading and writing the network's JSON form.
#include "network_json.hpp"

#include <set>
#include <stdexcept>

#include "failure.hpp"
#include "property_rules.hpp"
#include "value_types.hpp"

namespace fbemu {
namespace {

[[noreturn]] void bad(const std::string& where, const std::string& why) {
    throw std::runtime_error(where + ": " + why);
}

// Runs `f`, prefixing the message of a failure with `where`.
template <class F>
auto at(const std::string& where, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const failure& e) {
        bad(where, e.what());
    } catch (const json::exception& e) {
        bad(where, e.what());
    } catch (const std::runtime_error& e) {
        // Messages from nested calls already carry their place.
        const std::string m = e.what();
        throw std::runtime_error(m.rfind(where, 0) == 0 ? m : where + ": " + m);
    }
}

const json* optional(const json& obj, const char* key) {
    const auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

// Member `key` of `obj`, which must be an object that has it.
const json& required(const json& obj, const char* key, const std::string& where) {
    if (!obj.is_object()) bad(where, "an object expected");
    const json* j = optional(obj, key);
    if (!j) bad(where, std::string("\"") + key + "\" missing");
    return *j;
}

std::string text(const json& j, const std::string& where) {
    if (!j.is_string()) bad(where, "a string expected");
    return j.get<std::string>();
}

// The string member `key` of `obj`, which must be there.
std::string text_member(const json& obj, const char* key, const std::string& where) {
    return text(required(obj, key, where), where + "." + key);
}

// The same, not empty.
std::string name_member(const json& obj, const char* key, const std::string& where) {
    std::string n = text_member(obj, key, where);
    if (n.empty()) bad(where + "." + key, "empty name");
    return n;
}

const json& array_or_empty(const json& obj, const char* key, const std::string& where) {
    static const json empty = json::array();
    const json* j = optional(obj, key);
    if (!j) return empty;
    if (!j->is_array()) bad(where + "." + key, "an array expected");
    return *j;
}

std::vector<std::string> names(const json& obj, const char* key, const std::string& where) {
    std::vector<std::string> out;
    std::set<std::string> seen;
    const json& list = array_or_empty(obj, key, where);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string place = where + "." + key + "[" + std::to_string(i) + "]";
        std::string n = text(list[i], place);
        if (n.empty()) bad(place, "empty name");
        if (!seen.insert(n).second) bad(place, "'" + n + "' appears twice");
        out.push_back(std::move(n));
    }
    return out;
}

property_decl read_property(const json& j, const std::string& where) {
    property_decl p;
    p.name = name_member(j, "name", where);
    p.type = text_member(j, "type", where);
    if (!valid_property_type(p.type)) bad(where + ".type", "unknown type '" + p.type + "'");
    if (p.type == "enum") {
        p.choices = names(j, "choices", where);
        if (p.choices.empty()) bad(where + ".choices", "an enum needs at least one choice");
    }
    const json* initial = optional(j, "default");
    p.initial = initial ? at(where + ".default", [&] { return property_value(p, *initial); }) : zero_value(p);
    return p;
}

factory read_factory(const json& j, const std::string& where) {
    factory f;
    f.name = name_member(j, "name", where);
    f.inputs = names(j, "inputs", where);
    f.outputs = names(j, "outputs", where);
    const json& properties = array_or_empty(j, "properties", where);
    for (std::size_t i = 0; i < properties.size(); ++i) {
        const std::string place = where + ".properties[" + std::to_string(i) + "]";
        property_decl p = read_property(properties[i], place);
        if (f.property(p.name)) bad(place, "property '" + p.name + "' appears twice");
        f.properties.push_back(std::move(p));
    }
    return f;
}

block read_block(const network& net, const json& j, const std::string& where) {
    block b;
    b.name = text_member(j, "name", where);
    if (!valid_block_name(b.name)) bad(where + ".name", "'" + b.name + "' cannot name a function block");
    b.factory = text_member(j, "factory", where);
    const factory& f = at(where + ".factory", [&]() -> const factory& { return net.factory_named(b.factory); });
    const json& ticket = required(j, "ticket", where);
    if (!ticket.is_number_unsigned() || ticket.get<unsigned long long>() == 0 ||
        ticket.get<unsigned long long>() > 0xffffffffull)
        bad(where + ".ticket", "a ticket is a number from 1 to 4294967295");
    b.ticket = ticket.get<unsigned int>();
    if (const json* active = optional(j, "active")) {
        if (!active->is_boolean()) bad(where + ".active", "true or false expected");
        b.active = active->get<bool>();
    }
    for (const auto& p : f.properties) b.values[p.name] = p.initial;
    if (const json* values = optional(j, "properties")) {
        if (!values->is_object()) bad(where + ".properties", "an object expected");
        for (auto it = values->begin(); it != values->end(); ++it) {
            const std::string& name = it.key();
            const json& v = it.value();
            const std::string place = where + ".properties." + name;
            const property_decl* decl = f.property(name);
            if (!decl) bad(place, "factory '" + f.name + "' has no such property");
            b.values[name] = at(place, [&] { return property_value(*decl, v); });
        }
    }
    return b;
}

}  // namespace

boost::any property_value(const property_decl& decl, const json& j) {
    if (decl.type == "enum") {
        const boost::any index = type_named("int32")->from_json(j);
        return accept_value(decl, index, decl.name);
    }
    return type_named(decl.type)->from_json(j);
}

json property_json(const property_decl& decl, const boost::any& v) {
    if (decl.type == "enum") return boost::any_cast<int>(v);
    return type_named(decl.type)->to_json(v);
}

json network_to_json(const network& net) {
    json j = json::object();
    j["factories"] = json::array();
    for (const auto& f : net.factories) {
        json properties = json::array();
        for (const auto& p : f.properties) {
            json pj = {{"name", p.name}, {"type", p.type}};
            if (p.type == "enum") pj["choices"] = p.choices;
            pj["default"] = property_json(p, p.initial);
            properties.push_back(std::move(pj));
        }
        j["factories"].push_back(
            {{"name", f.name}, {"inputs", f.inputs}, {"outputs", f.outputs}, {"properties", std::move(properties)}});
    }
    j["blocks"] = json::array();
    for (const auto& [name, b] : net.blocks) {
        const factory& f = net.factory_of(b);
        json values = json::object();
        for (const auto& p : f.properties) values[p.name] = property_json(p, b.values.at(p.name));
        j["blocks"].push_back({{"name", name},
                               {"factory", b.factory},
                               {"ticket", b.ticket},
                               {"active", b.active},
                               {"properties", std::move(values)}});
    }
    j["connections"] = json::array();
    for (const auto& c : net.connections) j["connections"].push_back({{"from", c.source}, {"to", c.destination}});
    j["resource_calls"] = json::array();
    for (const auto& r : net.resource_calls) j["resource_calls"].push_back({{"texts", r.texts}, {"number", r.number}});
    j["next_ticket"] = net.next_ticket;
    return j;
}

network network_from_json(const json& j) {
    if (!j.is_object()) bad("network", "a JSON object expected");
    network net;
    const json& factories = array_or_empty(j, "factories", "network");
    for (std::size_t i = 0; i < factories.size(); ++i) {
        const std::string place = "factories[" + std::to_string(i) + "]";
        factory f = read_factory(factories[i], place);
        for (const auto& other : net.factories)
            if (other.name == f.name) bad(place, "factory '" + f.name + "' appears twice");
        net.factories.push_back(std::move(f));
    }

    std::set<unsigned int> tickets;
    unsigned long long highest = 0;
    const json& blocks = array_or_empty(j, "blocks", "network");
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::string place = "blocks[" + std::to_string(i) + "]";
        block b = read_block(net, blocks[i], place);
        if (net.blocks.count(b.name)) bad(place, "block '" + b.name + "' appears twice");
        if (!tickets.insert(b.ticket).second) bad(place, "ticket " + std::to_string(b.ticket) + " appears twice");
        highest = std::max<unsigned long long>(highest, b.ticket);
        net.blocks[b.name] = std::move(b);
    }

    const json& connections = array_or_empty(j, "connections", "network");
    for (std::size_t i = 0; i < connections.size(); ++i) {
        const std::string place = "connections[" + std::to_string(i) + "]";
        const json& c = connections[i];
        const std::string from = text_member(c, "from", place);
        const std::string to = text_member(c, "to", place);
        // Inputs with several connections are possible through connect_unchecked.
        at(place, [&] { net.connect(from, to, false); });
    }

    const json& calls = array_or_empty(j, "resource_calls", "network");
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const std::string place = "resource_calls[" + std::to_string(i) + "]";
        resource_call call;
        const json& texts = required(calls[i], "texts", place);
        if (!texts.is_array()) bad(place + ".texts", "an array expected");
        for (const auto& t : texts) call.texts.push_back(text(t, place + ".texts"));
        call.number = at(place + ".number", [&] {
            return boost::any_cast<unsigned int>(type_named("uint32")->from_json(required(calls[i], "number", place)));
        });
        net.record(std::move(call));
    }

    net.next_ticket = static_cast<unsigned int>(highest + 1);
    if (const json* next = optional(j, "next_ticket")) {
        if (!next->is_number_unsigned() || next->get<unsigned long long>() <= highest ||
            next->get<unsigned long long>() > 0xffffffffull)
            bad("next_ticket", "a number above every block's ticket, at most 4294967295, expected");
        net.next_ticket = next->get<unsigned int>();
    }
    net.changes.clear();  // building it is no change
    return net;
}

}  // namespace fbemu
