// SPDX-License-Identifier: MIT
#include "dot_output.hpp"

#include <map>
#include <set>
#include <utility>

#include "text.hpp"

namespace fbdump {

namespace {

// Text inside a quoted label: printable UTF-8 with the backslash and the
// double quote escaped.
std::string label_text(const std::string& name) {
    std::string out;
    for (char c : printable_utf8(name)) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// Text of one field of a record label: braces, bars, angle brackets and
// blanks also mean something there.
std::string field_text(const std::string& name) {
    std::string out;
    for (char c : label_text(name)) {
        if (c == '{' || c == '}' || c == '|' || c == '<' || c == '>' || c == ' ') out += '\\';
        out += c;
    }
    return out;
}

// A column of port fields, "{<i0> a|<i1> b}"; `prefix` tells inputs ("i")
// from outputs ("o").
std::string port_fields(const std::vector<tarn::fb::port_entry>& ports, const char* prefix) {
    std::string out("{");
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (i) out += '|';
        out += std::string("<") + prefix + std::to_string(i) + "> " + field_text(ports[i].name);
    }
    return out + "}";
}

std::string record_label(const tarn::fb::block_state& b, const std::string& factory) {
    std::string label("{");
    if (!b.inputs.empty()) label += port_fields(b.inputs, "i") + "|";
    label += field_text(b.name) + "\\n(" + field_text(factory) + ")";
    if (!b.outputs.empty()) label += "|" + port_fields(b.outputs, "o");
    return label + "}";
}

// Node statements and the connections between endpoints ("block.port").
class graph {
public:
    void add_block(const tarn::fb::block_state& b, const std::string& factory) {
        const std::string node = "b" + std::to_string(blocks_++);
        nodes_ += "  " + node + " [label=\"" + record_label(b, factory) + "\"];\n";
        for (std::size_t i = 0; i < b.inputs.size(); ++i) {
            const std::string endpoint = b.name + "." + b.inputs[i].name;
            inputs_.emplace(endpoint, node + ":i" + std::to_string(i) + ":w");
            for (const auto& peer : b.inputs[i].connections) edges_.emplace(peer, endpoint);
        }
        for (std::size_t i = 0; i < b.outputs.size(); ++i) {
            const std::string endpoint = b.name + "." + b.outputs[i].name;
            outputs_.emplace(endpoint, node + ":o" + std::to_string(i) + ":e");
            for (const auto& peer : b.outputs[i].connections) edges_.emplace(endpoint, peer);
        }
    }

    // Both sides list a connection between walked blocks: it is drawn once.
    std::string dot() {
        std::string edges;
        for (const auto& [from, to] : edges_)
            edges += "  " + place(outputs_, from) + " -> " + place(inputs_, to) + ";\n";
        return "digraph network {\n  rankdir=LR;\n  node [shape=record];\n" + nodes_ + others_ + edges + "}\n";
    }

private:
    // Where an endpoint is drawn: a port of a walked block on the given side,
    // or else a plain node of its own.
    std::string place(const std::map<std::string, std::string>& ports, const std::string& endpoint) {
        if (auto it = ports.find(endpoint); it != ports.end()) return it->second;
        auto [it, added] = elsewhere_.emplace(endpoint, "x" + std::to_string(elsewhere_.size()));
        if (added) others_ += "  " + it->second + " [shape=plaintext, label=\"" + label_text(endpoint) + "\"];\n";
        return it->second;
    }

    std::size_t blocks_ = 0;
    std::string nodes_;
    std::string others_;
    std::map<std::string, std::string> inputs_, outputs_, elsewhere_;  // endpoint -> node
    std::set<std::pair<std::string, std::string>> edges_;              // (output, input)
};

}  // namespace

std::string to_dot(const tarn::fb::network& net) {
    graph g;
    for (const auto& f : net.factories)
        for (const auto& b : f.blocks) g.add_block(b, f.name);
    return g.dot();
}

}  // namespace fbdump
