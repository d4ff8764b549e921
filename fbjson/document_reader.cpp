// SPDX-License-Identifier: MIT
// Reading a network document into the library's wanted network.
#include "document_reader.hpp"

#include <initializer_list>
#include <map>
#include <set>
#include <utility>

#include <nlohmann/json.hpp>

#include "bounded_json.hpp"

namespace fbjson {

namespace {

using json = nlohmann::json;
using namespace tarn::fb;

[[noreturn]] void bad(const std::string& where, const std::string& why) { throw document_error(where + ": " + why); }

void only_keys(const json& j, const std::string& where, std::initializer_list<const char*> keys) {
    if (!j.is_object()) bad(where, "an object expected");
    for (const auto& item : j.items()) {
        bool known = false;
        for (const char* k : keys) known = known || item.key() == k;
        if (!known) bad(where, "unknown key \"" + item.key() + "\"");
    }
}

std::string name_of(const json& j, const std::string& where) {
    const auto it = j.find("name");
    if (it == j.end()) bad(where, "\"name\" missing");
    if (!it->is_string() || it->get<std::string>().empty()) bad(where + ".name", "a name expected");
    return it->get<std::string>();
}

const json& list(const json& j, const char* key, const std::string& where) {
    static const json none = json::array();
    const auto it = j.find(key);
    if (it == j.end()) return none;
    if (!it->is_array()) bad(where + "." + key, "an array expected");
    return *it;
}

std::vector<std::string> texts(const json& j, const std::string& where) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < j.size(); ++i) {
        if (!j[i].is_string()) bad(where + "[" + std::to_string(i) + "]", "a string expected");
        out.push_back(j[i].get<std::string>());
    }
    return out;
}

// An array of numbers only, which the loose value holds as doubles: 8 bytes
// an element instead of a boxed value each.
bool all_numbers(const json& j) {
    for (const json& e : j)
        if (!e.is_number()) return false;
    return true;
}

// A JSON value as the loose value the library converts. The parser bounds
// the depth, so the recursion is bounded too.
boost::any loose(const json& j) {
    switch (j.type()) {
    case json::value_t::number_integer: return j.get<long long>();
    case json::value_t::number_unsigned: return j.get<unsigned long long>();
    case json::value_t::number_float: return j.get<double>();
    case json::value_t::string: return j.get<std::string>();
    case json::value_t::boolean: return j.get<bool>();
    case json::value_t::array: {
        if (!j.empty() && all_numbers(j)) {
            std::vector<double> numbers;
            numbers.reserve(j.size());
            for (const json& e : j) numbers.push_back(e.get<double>());
            return numbers;
        }
        std::vector<boost::any> items;
        items.reserve(j.size());
        for (const json& e : j) items.push_back(loose(e));
        return items;
    }
    case json::value_t::object: {
        fifo::object members;
        for (const auto& item : j.items()) members.emplace(item.key(), loose(item.value()));
        return members;
    }
    default: return nil{};
    }
}

// fbdump's form of an enum value: {"index": N} with "choices" or without.
bool enum_object(const json& v) { return v.is_object() && v.contains("index") && v.size() == 1 + v.count("choices"); }

// A property's value: fbdump's enum object as its index and choices, any
// other value as it is.
void read_value(wanted_property& p, const json& v, const std::string& where) {
    if (enum_object(v)) {
        p.choices = texts(list(v, "choices", where), where + ".choices");
        p.value = loose(v["index"]);
    } else {
        p.value = loose(v);
    }
}

wanted_property property_of(const json& j, const std::string& where) {
    only_keys(j, where, {"name", "type", "value"});
    wanted_property p;
    p.name = name_of(j, where);
    if (const auto t = j.find("type"); t != j.end()) {
        if (!t->is_string()) bad(where + ".type", "a type name expected");
        p.type = t->get<std::string>();
    }
    const auto v = j.find("value");
    if (v == j.end()) bad(where, "\"value\" missing");
    read_value(p, *v, where + ".value");
    return p;
}

std::vector<wanted_port> ports_of(const json& j, const std::string& where) {
    std::vector<wanted_port> out;
    for (std::size_t i = 0; i < j.size(); ++i) {
        const std::string place = where + "[" + std::to_string(i) + "]";
        only_keys(j[i], place, {"name", "connections"});
        out.push_back({name_of(j[i], place), texts(list(j[i], "connections", place), place + ".connections")});
    }
    return out;
}

wanted_block block_of(const json& j, const std::string& where) {
    only_keys(j, where, {"name", "properties", "inputs", "outputs"});
    wanted_block b;
    b.name = name_of(j, where);
    const json& properties = list(j, "properties", where);
    for (std::size_t i = 0; i < properties.size(); ++i)
        b.properties.push_back(property_of(properties[i], where + ".properties[" + std::to_string(i) + "]"));
    if (j.contains("inputs")) b.inputs = ports_of(list(j, "inputs", where), where + ".inputs");
    if (j.contains("outputs")) b.outputs = ports_of(list(j, "outputs", where), where + ".outputs");
    return b;
}

using edge = std::pair<std::string, std::string>;  // (output "block.port", input "block.port")

// The connections a document writes on one side of its blocks, and which
// blocks list that side at all.
struct side {
    std::set<edge> edges;
    std::set<std::string> listing;
};

void add_side(side& s, const wanted_block& b, bool output) {
    const auto& ports = output ? b.outputs : b.inputs;
    if (!ports) return;
    s.listing.insert(b.name);
    for (const wanted_port& p : *ports)
        for (const std::string& peer : p.connections)
            s.edges.emplace(output ? edge{b.name + "." + p.name, peer} : edge{peer, b.name + "." + p.name});
}

std::string block_of_endpoint(const std::string& endpoint) { return endpoint.substr(0, endpoint.find('.')); }

// A connection written on one side must be on the other side too, when the
// document lists that side of the other block: one document, one network.
void check_both_sides(const wanted_network& net) {
    side outputs, inputs;
    for (const wanted_factory& f : net.factories)
        for (const wanted_block& b : f.blocks) {
            add_side(outputs, b, true);
            add_side(inputs, b, false);
        }
    for (const edge& e : outputs.edges)
        if (inputs.listing.count(block_of_endpoint(e.second)) != 0 && inputs.edges.count(e) == 0)
            bad("connection " + e.first + " -> " + e.second,
                "listed on output " + e.first + " but not on input " + e.second);
    for (const edge& e : inputs.edges)
        if (outputs.listing.count(block_of_endpoint(e.first)) != 0 && outputs.edges.count(e) == 0)
            bad("connection " + e.first + " -> " + e.second,
                "listed on input " + e.second + " but not on output " + e.first);
}

}  // namespace

wanted_network read_document(const std::string& text) {
    const json document = parse_bounded(text);
    only_keys(document, "document", {"factories"});
    if (!document.contains("factories")) bad("document", "\"factories\" missing");
    wanted_network net;
    const json& factories = list(document, "factories", "document");
    for (std::size_t i = 0; i < factories.size(); ++i) {
        const std::string where = "factories[" + std::to_string(i) + "]";
        only_keys(factories[i], where, {"name", "blocks"});
        wanted_factory f;
        f.name = name_of(factories[i], where);
        const json& blocks = list(factories[i], "blocks", where);
        for (std::size_t k = 0; k < blocks.size(); ++k)
            f.blocks.push_back(block_of(blocks[k], where + ".blocks[" + std::to_string(k) + "]"));
        net.factories.push_back(std::move(f));
    }
    check_both_sides(net);
    return net;
}

std::vector<wanted_property> read_property_values(const std::string& text) {
    const json values = parse_bounded(text);
    if (!values.is_object()) bad("values", "an object of property values expected");
    std::vector<wanted_property> out;
    for (const auto& item : values.items()) {
        if (item.key().empty()) bad("values", "a property name expected");
        wanted_property p;
        p.name = item.key();
        read_value(p, item.value(), item.key());
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace fbjson
