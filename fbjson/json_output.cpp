// SPDX-License-Identifier: MIT
// The network as fbdump's JSON document.
#include "json_output.hpp"

#include "json_values.hpp"

#include <map>
#include <type_traits>

#include <nlohmann/json.hpp>
#include <tarn/fb/float_text.hpp>

namespace fbjson {

namespace {

using json = nlohmann::ordered_json;  // members in the order written
using tarn::fb::fifo;

template <class T>
json numbers(const std::vector<T>& xs) {
    json out = json::array();
    for (T x : xs) out.push_back(tarn::fb::json_number<json>(x));
    return out;
}

// One value of the value types.
template <class T>
json scalar_json(const T& x) {
    if constexpr (std::is_floating_point_v<T>)
        return tarn::fb::json_number<json>(x);  // NaN and infinities as words
    else if constexpr (std::is_same_v<T, signed char>)
        return static_cast<int>(x);
    else if constexpr (std::is_same_v<T, unsigned char>)
        return static_cast<unsigned int>(x);
    else if constexpr (std::is_same_v<T, tarn::fb::nil>)
        return nullptr;
    else if constexpr (std::is_arithmetic_v<T> || std::is_same_v<T, std::string>)
        return x;
    else
        return numbers(x);
}

// Any value the value stream reads; arrays and objects nest as deep as the
// stream allows (a bounded depth).
json value_json(const boost::any& v) {
    json out;
    if (tarn::fb::visit_held(v, [&out](const auto& x) { out = scalar_json(x); })) return out;
    if (const auto* x = boost::any_cast<fifo::array>(&v)) {
        out = json::array();
        for (const boost::any& e : *x) out.push_back(value_json(e));
        return out;
    }
    if (const auto* x = boost::any_cast<fifo::object>(&v)) {
        // By key, so that the document does not depend on the map's order.
        std::map<std::string, const boost::any*> sorted;
        for (const auto& kv : *x) sorted.emplace(kv.first, &kv.second);
        out = json::object();
        for (const auto& kv : sorted) out[kv.first] = value_json(*kv.second);
        return out;
    }
    return nullptr;
}

json property_json(const tarn::fb::property_data& p) {
    return {{"name", p.name}, {"type", p.type}, {"value", property_value(p)}};
}

json ports_json(const std::vector<tarn::fb::port_entry>& ports) {
    json out = json::array();
    for (const auto& p : ports) out.push_back({{"name", p.name}, {"connections", p.connections}});
    return out;
}

json block_json(const tarn::fb::block_state& b) {
    json properties = json::array();
    for (const auto& p : b.properties) properties.push_back(property_json(p));
    return {{"name", b.name},
            {"properties", std::move(properties)},
            {"inputs", ports_json(b.inputs)},
            {"outputs", ports_json(b.outputs)}};
}

}  // namespace

json property_value(const tarn::fb::property_data& p) {
    if (p.type == "enum") return {{"choices", p.choices}, {"index", value_json(p.value)}};
    return value_json(p.value);
}

json block_value(const tarn::fb::block_state& b) { return block_json(b); }

std::string one_line(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

std::string to_json(const tarn::fb::network& net, bool compact) {
    json factories = json::array();
    for (const auto& f : net.factories) {
        json blocks = json::array();
        for (const auto& b : f.blocks) blocks.push_back(block_json(b));
        factories.push_back({{"name", f.name}, {"blocks", std::move(blocks)}});
    }
    const json document = {{"factories", std::move(factories)}};
    return document.dump(compact ? -1 : 2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string block_to_json(const tarn::fb::block_state& block) { return one_line(block_json(block)) + "\n"; }

}  // namespace fbjson
