// The network as fbdump's JSON document.
#include "json_output.hpp"

#include <charconv>
#include <cmath>
#include <map>

#include <nlohmann/json.hpp>

namespace fbjson {

namespace {

using json = nlohmann::ordered_json;  // members in the order written
using tarn::fb::fifo;

// JSON has no NaN or infinities; they are written as the strings the
// emulator's network files use.
json non_finite(double d) {
    if (std::isnan(d)) return "nan";
    return d > 0 ? "inf" : "-inf";
}

json number(double d) { return std::isfinite(d) ? json(d) : non_finite(d); }

// A float as the shortest decimal that reads back as the same float, so that
// 0.8f is written 0.8 rather than 0.800000011920929.
json number(float f) {
    if (!std::isfinite(f)) return non_finite(f);
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, f);
    double d = f;
    std::from_chars(text, written.ptr, d);
    return d;
}

template <class T>
json numbers(const std::vector<T>& xs) {
    json out = json::array();
    for (T x : xs) out.push_back(number(x));
    return out;
}

template <class T>
const T* held(const boost::any& v) {
    return boost::any_cast<T>(&v);
}

// Any value the value stream reads; arrays and objects nest as deep as the
// stream allows (a bounded depth).
json value_json(const boost::any& v) {
    if (auto* x = held<float>(v)) return number(*x);
    if (auto* x = held<double>(v)) return number(*x);
    if (auto* x = held<signed char>(v)) return static_cast<int>(*x);
    if (auto* x = held<short>(v)) return *x;
    if (auto* x = held<int>(v)) return *x;
    if (auto* x = held<long long>(v)) return *x;
    if (auto* x = held<unsigned char>(v)) return static_cast<unsigned int>(*x);
    if (auto* x = held<unsigned int>(v)) return *x;
    if (auto* x = held<unsigned long long>(v)) return *x;
    if (auto* x = held<bool>(v)) return *x;
    if (auto* x = held<std::string>(v)) return *x;
    if (auto* x = held<std::vector<float>>(v)) return numbers(*x);
    if (auto* x = held<std::vector<double>>(v)) return numbers(*x);
    if (auto* x = held<fifo::array>(v)) {
        json out = json::array();
        for (const boost::any& e : *x) out.push_back(value_json(e));
        return out;
    }
    if (auto* x = held<fifo::object>(v)) {
        // By key, so that the document does not depend on the map's order.
        std::map<std::string, const boost::any*> sorted;
        for (const auto& kv : *x) sorted.emplace(kv.first, &kv.second);
        json out = json::object();
        for (const auto& kv : sorted) out[kv.first] = value_json(*kv.second);
        return out;
    }
    return nullptr;  // nil
}

json property_json(const tarn::fb::property_data& p) {
    json out = {{"name", p.name}, {"type", p.type}};
    if (p.type == "enum")
        out["value"] = {{"choices", p.choices}, {"index", value_json(p.value)}};
    else
        out["value"] = value_json(p.value);
    return out;
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

std::string block_to_json(const tarn::fb::block_state& block) {
    return block_json(block).dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace fbjson
