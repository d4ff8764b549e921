// SPDX-License-Identifier: MIT
#include "expected_document.hpp"

#include <algorithm>
#include <vector>

namespace fbdump_test {

namespace {

// A value inside an array or object carries its type: {"<type>": value}.
json plain(const json& tagged) {
    const json& v = tagged.begin().value();
    if (tagged.begin().key() == "array") {
        json out = json::array();
        for (const auto& e : v) out.push_back(plain(e));
        return out;
    }
    if (tagged.begin().key() == "object") {
        json out = json::object();
        for (const auto& [k, e] : v.items()) out[k] = plain(e);
        return out;
    }
    return v;
}

json value(const json& declared, const json& stored) {
    const std::string type = declared["type"];
    if (type == "enum") return {{"choices", declared["choices"]}, {"index", stored.is_null() ? json(0) : stored}};
    if (type == "array" || type == "object") return plain({{type, stored}});
    return stored;  // the network files write NaN and infinities as fbdump does
}

json connections(const json& network, const std::string& endpoint, const char* here, const char* there) {
    json out = json::array();
    for (const auto& c : network.value("connections", json::array()))
        if (c[here] == endpoint) out.push_back(c[there]);
    return out;
}

json ports(const json& network, const std::string& block, const json& names, bool outputs) {
    json out = json::array();
    for (const std::string port : names) {
        const std::string endpoint = block + "." + port;
        out.push_back({{"name", port},
                       {"connections", outputs ? connections(network, endpoint, "from", "to")
                                               : connections(network, endpoint, "to", "from")}});
    }
    return out;
}

json block(const json& network, const json& factory, const json& b) {
    json properties = json::array();
    const json set = b.value("properties", json::object());
    for (const auto& p : factory["properties"]) {
        const std::string name = p["name"];
        const json stored = set.contains(name) ? set[name] : p.value("default", json());
        properties.push_back({{"name", name}, {"type", p["type"]}, {"value", value(p, stored)}});
    }
    const std::string name = b["name"];
    return {{"name", name},
            {"properties", properties},
            {"inputs", ports(network, name, factory.value("inputs", json::array()), false)},
            {"outputs", ports(network, name, factory.value("outputs", json::array()), true)}};
}

}  // namespace

json expected_document(const json& network, const std::set<std::string>& only) {
    std::vector<json> factories(network["factories"].begin(), network["factories"].end());
    std::sort(factories.begin(), factories.end(), [](const json& a, const json& b) { return a["name"] < b["name"]; });
    json out = json::array();
    for (const auto& f : factories) {
        if (!only.empty() && only.count(f["name"]) == 0) continue;
        std::vector<json> blocks;
        for (const auto& b : network.value("blocks", json::array()))
            if (b["factory"] == f["name"]) blocks.push_back(b);
        std::sort(blocks.begin(), blocks.end(), [](const json& a, const json& b) { return a["name"] < b["name"]; });
        json block_docs = json::array();
        for (const auto& b : blocks) block_docs.push_back(block(network, f, b));
        out.push_back({{"name", f["name"]}, {"blocks", block_docs}});
    }
    return {{"factories", out}};
}

}  // namespace fbdump_test
