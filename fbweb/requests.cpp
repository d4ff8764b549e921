// SPDX-License-Identifier: MIT
// Reading the create, connection and activity bodies.
#include "requests.hpp"

#include <initializer_list>

#include <nlohmann/json.hpp>

#include "bounded_json.hpp"
#include "document_reader.hpp"

namespace fbweb {

namespace {

using json = nlohmann::json;

// The body as a JSON object.
json parsed_object(const std::string& body) {
    json j;
    try {
        j = fbjson::parse_bounded(body);
    } catch (const fbjson::document_error& e) {
        throw body_error(std::string("the body: ") + e.what());
    }
    if (!j.is_object()) throw body_error("the body must be a JSON object");
    return j;
}

// The object of the body with exactly the string members `keys`, none empty.
json object_with(const std::string& body, std::initializer_list<const char*> keys) {
    json j = parsed_object(body);
    for (const char* key : keys) {
        const auto it = j.find(key);
        if (it == j.end()) throw body_error(std::string("\"") + key + "\" missing");
        if (!it->is_string() || it->get_ref<const std::string&>().empty())
            throw body_error(std::string("\"") + key + "\" must be a non-empty string");
    }
    if (j.size() != keys.size()) {
        for (const auto& item : j.items()) {
            bool known = false;
            for (const char* key : keys) known = known || item.key() == key;
            if (!known) throw body_error("unknown key \"" + item.key() + "\"");
        }
    }
    return j;
}

// An endpoint names a block and a port: "block.port".
std::string endpoint(const json& j, const char* key) {
    std::string text = j[key].get<std::string>();
    const auto dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == text.size())
        throw body_error(std::string("\"") + key + "\" must be \"block.port\", not \"" + text + "\"");
    return text;
}

}  // namespace

bool dry_run_flag(const std::optional<std::string>& value) {
    if (!value) return false;
    if (*value == "0" || *value == "false") return false;
    if (value->empty() || *value == "1" || *value == "true") return true;
    throw body_error("dry_run must be 1, true, 0 or false (or given without a value), not \"" + *value + "\"");
}

create_request read_create_request(const std::string& body) {
    const json j = object_with(body, {"factory", "name"});
    return {j["factory"].get<std::string>(), j["name"].get<std::string>()};
}

bool read_activity_request(const std::string& body) {
    const json j = parsed_object(body);
    const auto it = j.find("active");
    if (it == j.end() || !it->is_boolean()) throw body_error("\"active\" must be true or false");
    for (const auto& item : j.items())
        if (item.key() != "active") throw body_error("unknown key \"" + item.key() + "\"");
    return it->get<bool>();
}

connection_request read_connection_request(const std::string& body) {
    const json j = object_with(body, {"from", "to"});
    return {endpoint(j, "from"), endpoint(j, "to")};
}

}  // namespace fbweb
