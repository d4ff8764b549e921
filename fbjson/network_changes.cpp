// SPDX-License-Identifier: MIT
// The difference of two readings of the network.
#include "network_changes.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <utility>

#include "json_values.hpp"

namespace fbjson {

namespace {

using tarn::fb::block_state;
using tarn::fb::network;

struct placed_block {
    const std::string* factory;
    const block_state* block;
};

std::map<std::string, placed_block> blocks_of(const network& net) {
    std::map<std::string, placed_block> out;
    for (const auto& f : net.factories)
        for (const auto& b : f.blocks) out.emplace(b.name, placed_block{&f.name, &b});
    return out;
}

// Every connection as (output, input), from whichever side lists it.
std::set<std::pair<std::string, std::string>> connections_of(const network& net) {
    std::set<std::pair<std::string, std::string>> out;
    for (const auto& f : net.factories)
        for (const auto& b : f.blocks) {
            for (const auto& port : b.outputs)
                for (const auto& other : port.connections) out.emplace(b.name + "." + port.name, other);
            for (const auto& port : b.inputs)
                for (const auto& other : port.connections) out.emplace(other, b.name + "." + port.name);
        }
    return out;
}

void add_connections(ordered_json& out, const char* key, const std::set<std::pair<std::string, std::string>>& from,
                     const std::set<std::pair<std::string, std::string>>& without) {
    ordered_json list = ordered_json::array();
    for (const auto& c : from)
        if (without.count(c) == 0) list.push_back({{"from", c.first}, {"to", c.second}});
    if (!list.empty()) out[key] = std::move(list);
}

}  // namespace

std::string network_changes(const network& before, const network& after, const std::string& etag) {
    const auto old_blocks = blocks_of(before);
    const auto new_blocks = blocks_of(after);
    const auto same_block = [](const placed_block* a, const placed_block& b) {
        return a != nullptr && *a->factory == *b.factory;
    };
    const auto find = [](const std::map<std::string, placed_block>& in, const std::string& name) {
        const auto it = in.find(name);
        return it == in.end() ? nullptr : &it->second;
    };

    ordered_json added = ordered_json::array(), removed = ordered_json::array(), properties = ordered_json::array();
    for (const auto& [name, now] : new_blocks) {
        const placed_block* was = find(old_blocks, name);
        if (!same_block(was, now)) {
            ordered_json block = {{"factory", *now.factory}};
            block.update(block_value(*now.block));
            added.push_back(std::move(block));
            continue;
        }
        for (const auto& p : now.block->properties) {
            const auto* old = was->block->property(p.name);
            ordered_json value = property_value(p);
            if (old == nullptr || property_value(*old) != value)
                properties.push_back({{"block", name}, {"name", p.name}, {"value", std::move(value)}});
        }
    }
    for (const auto& [name, was] : old_blocks)
        if (!same_block(find(new_blocks, name), was)) removed.push_back(name);

    const auto old_connections = connections_of(before);
    const auto new_connections = connections_of(after);
    ordered_json out = {{"etag", etag}};
    if (!added.empty()) out["blocks_added"] = std::move(added);
    if (!removed.empty()) out["blocks_removed"] = std::move(removed);
    if (!properties.empty()) out["properties"] = std::move(properties);
    add_connections(out, "connections_added", new_connections, old_connections);
    add_connections(out, "connections_removed", old_connections, new_connections);
    return out.size() == 1 ? std::string() : one_line(out);
}

std::string etag_of(const std::string& document) {
    std::uint64_t h = 14695981039346656037ULL;
    for (const char c : document) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char out[21];
    std::snprintf(out, sizeof out, "\"%016llx\"", static_cast<unsigned long long>(h));
    return out;
}

std::chrono::milliseconds watch_interval(std::chrono::steady_clock::duration walk) {
    const auto paced = std::chrono::duration_cast<std::chrono::milliseconds>(walk * 20);
    return std::max(paced, std::chrono::milliseconds(500));
}

}  // namespace fbjson
