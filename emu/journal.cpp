// SPDX-License-Identifier: MIT
// Writing and replaying the state journal's records.
#include "journal.hpp"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <stdexcept>

#include "failure.hpp"
#include "network_json.hpp"

namespace fbemu {
namespace {

constexpr const char* header_word = "fbemu-journal 1";

std::uint32_t crc32(const char* data, std::size_t size) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xffffffffu;
    for (std::size_t i = 0; i < size; ++i) c = table[(c ^ static_cast<unsigned char>(data[i])) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

const std::vector<std::string>& texts_of(const json& record, std::size_t count) {
    static thread_local std::vector<std::string> texts;
    texts = record.at("texts").get<std::vector<std::string>>();
    if (texts.size() < count) throw std::runtime_error("too few texts");
    return texts;
}

void replay_create(network& net, const json& r) {
    const auto& t = texts_of(r, 2);
    if (net.create(t[0], t[1]) != r.at("number").get<unsigned int>())
        throw std::runtime_error("the block would get another ticket");
}
void replay_destroy(network& net, const json& r) { net.destroy(r.at("number").get<unsigned int>()); }
void replay_connect(network& net, const json& r) {
    const auto& t = texts_of(r, 2);
    net.connect(t[0], t[1], r.at("number").get<unsigned int>() != 0);
}
void replay_disconnect(network& net, const json& r) {
    const auto& t = texts_of(r, 2);
    net.disconnect(t[0], t[1]);
}
void replay_write(network& net, const json& r) {
    const std::string name = texts_of(r, 1)[0];
    const factory& f = net.factory_of(net.block_named(name));
    std::vector<std::pair<std::string, boost::any>> values;
    for (const auto& pair : r.at("values")) {
        const std::string property = pair.at(0).get<std::string>();
        const property_decl* decl = f.property(property);
        if (!decl) throw std::runtime_error("no property '" + property + "'");
        values.emplace_back(property, property_value(*decl, pair.at(1)));
    }
    net.write_properties(name, values);
}
void replay_activate(network& net, const json& r) {
    net.activate(texts_of(r, 1)[0], r.at("number").get<unsigned int>() != 0);
}
void replay_record(network& net, const json& r) {
    net.record({r.at("texts").get<std::vector<std::string>>(), r.at("number").get<unsigned int>()});
}

struct operation {
    change::kind what;
    const char* name;
    void (*replay)(network&, const json&);
};
const operation operations[] = {
    {change::create, "create", replay_create},         {change::destroy, "destroy", replay_destroy},
    {change::connect, "connect", replay_connect},      {change::disconnect, "disconnect", replay_disconnect},
    {change::write_properties, "write", replay_write}, {change::activate, "activate", replay_activate},
    {change::record, "record", replay_record},
};

const operation& operation_of(change::kind what) {
    for (const auto& o : operations)
        if (o.what == what) return o;
    throw std::logic_error("a change without a journal operation");
}

const operation& operation_named(const std::string& name) {
    for (const auto& o : operations)
        if (name == o.name) return o;
    throw std::runtime_error("unknown operation '" + name + "'");
}

// Applies the one record `line` (its text without the newline); throws with
// the reason when it is damaged or cannot be applied.
void apply_record(const std::string& line, network& net) {
    unsigned int sum = 0;
    int skip = 0;
    if (line.size() < 10 || std::sscanf(line.c_str(), "%8x %n", &sum, &skip) != 1 || skip != 9)
        throw std::runtime_error("no checksum");
    if (crc32(line.data() + 9, line.size() - 9) != sum) throw std::runtime_error("checksum mismatch");
    const json r = json::parse(line.begin() + 9, line.end());
    operation_named(r.at("op").get<std::string>()).replay(net, r);
}

}  // namespace

std::string journal_header(const snapshot_id& s) {
    char line[128];
    std::snprintf(line, sizeof line, "%s %llu %llu %llu %lld\n", header_word, s.device, s.inode, s.size, s.mtime_ns);
    return line;
}

bool read_journal_header(const std::string& text, snapshot_id& s, std::size_t& end) {
    const auto newline = text.find('\n');
    if (newline == std::string::npos) return false;
    const std::string line = text.substr(0, newline + 1);
    snapshot_id read;
    int used = 0;
    const std::string format = std::string(header_word) + " %llu %llu %llu %lld\n%n";
    if (std::sscanf(line.c_str(), format.c_str(), &read.device, &read.inode, &read.size, &read.mtime_ns, &used) != 4 ||
        static_cast<std::size_t>(used) != line.size())
        return false;
    s = read;
    end = newline + 1;
    return true;
}

std::string journal_record(const change& c, const network& net) {
    json r = {{"op", operation_of(c.what).name}, {"texts", c.texts}, {"number", c.number}};
    if (c.what == change::write_properties) {
        const factory& f = net.factory_of(net.block_named(c.texts.at(0)));
        json values = json::array();
        for (const auto& [property, v] : c.values)
            values.push_back({property, property_json(*f.property(property), v)});
        r["values"] = std::move(values);
    }
    std::string text;
    try {
        text = r.dump();
    } catch (const json::exception& e) {
        throw failure(err_state_unwritable, std::string("cannot store the network: ") + e.what());
    }
    char sum[16];
    std::snprintf(sum, sizeof sum, "%08" PRIx32 " ", crc32(text.data(), text.size()));
    return sum + text + "\n";
}

replay_result replay_journal(const std::string& text, std::size_t from, network& net) {
    replay_result result;
    result.end = from;
    while (result.end < text.size()) {
        const auto newline = text.find('\n', result.end);
        if (newline == std::string::npos) {
            result.damage = "record cut short";
            break;
        }
        try {
            apply_record(text.substr(result.end, newline - result.end), net);
        } catch (const std::exception& e) {
            result.damage = e.what();
            break;
        }
        result.end = newline + 1;
        ++result.count;
    }
    net.changes.clear();
    return result;
}

}  // namespace fbemu
