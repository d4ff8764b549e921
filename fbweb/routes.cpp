// SPDX-License-Identifier: MIT
// The API's routes and request checks.
#include "routes.hpp"

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "access.hpp"
#include "assets.hpp"
#include "body_budget.hpp"
#include "document_reader.hpp"
#include "error_status.hpp"
#include "metrics.hpp"

namespace fbweb {

namespace {

using json = nlohmann::json;
constexpr const char* json_type = "application/json";

response reply(int status, std::string body) {
    response res;
    res.status = status;
    res.content_type = json_type;
    res.body = std::move(body);
    return res;
}

response reply(int status, const json& body) { return reply(status, body.dump() + "\n"); }

// The large bodies handled at once, shared by every connection.
body_budget& large_bodies() {
    static body_budget budget;
    return budget;
}

// The dry_run parameter as given: absent, bare ("?dry_run") or with a value.
std::optional<std::string> dry_run_parameter(const request& req) {
    const auto it = req.query.find("dry_run");
    if (it == req.query.end()) return std::nullopt;
    return it->second;
}

response unauthorized() {
    response res = reply(401, error_body("a valid token is needed: Authorization: Bearer TOKEN"));
    res.set_header("WWW-Authenticate", "Bearer");
    return res;
}

bool changes_network(const std::string& method) { return method != "GET" && method != "HEAD" && method != "OPTIONS"; }

bool is_json(const request& req) {
    const std::string type = req.header("Content-Type");
    return type.compare(0, 16, json_type) == 0 && (type.size() == 16 || type[16] == ';' || type[16] == ' ');
}

// The host name of a Host header, without its port and brackets.
std::string host_name(const std::string& header) {
    if (!header.empty() && header.front() == '[') return header.substr(1, header.find(']') - 1);
    return header.substr(0, header.find(':'));
}

// The checks before routing: the Host header; the token for every API
// request; for one that changes the network, not read-only and a JSON body
// (so a plain HTML form on another site cannot send it). A refusal, or a
// response with status 0 to go on.
response check(const request& req, const access_rules& rules) {
    response go_on;
    go_on.status = 0;
    if (rules.loopback_hosts_only && !is_loopback(host_name(req.header("Host"))))
        return reply(403, error_body("the Host header must name this machine (127.0.0.1, localhost or [::1])"));
    if (req.path.rfind("/api/", 0) != 0) return go_on;
    if (!rules.token.empty() && !bearer_matches(req.header("Authorization"), rules.token)) return unauthorized();
    if (changes_network(req.method)) {
        if (rules.read_only) return reply(403, error_body("the server is read-only"));
        if (!is_json(req))
            return reply(415, error_body("a request that changes the network needs Content-Type: application/json"));
    }
    return go_on;
}

// What a route's action works with besides the request.
struct route_context {
    device_api& api;
    network_watch& watch;
    const access_rules& rules;
    const tarn::fb::wanted_network* match;
};

// The path's parts that a pattern's '*'s stood for, after the whole path:
// groups[1] is the first.
using path_groups = std::vector<std::string>;

// Whether `path` fits `pattern`, in which each '*' stands for one non-empty
// path segment (no '/'); `groups` gets the segments so taken.
bool match_path(std::string_view pattern, std::string_view path, path_groups& groups) {
    groups.assign(1, std::string(path));
    std::size_t at = 0;
    for (const char p : pattern) {
        if (p != '*') {
            if (at == path.size() || path[at] != p) return false;
            ++at;
            continue;
        }
        const std::size_t end = std::min(path.find('/', at), path.size());
        if (end == at) return false;
        groups.emplace_back(path.substr(at, end - at));
        at = end;
    }
    return at == path.size();
}

// One route: a method and a path pattern whose groups the action takes. A
// path outside /api that no route takes is a file of the page.
struct route_entry {
    const char* method;
    const char* pattern;
    std::function<response(const route_context&, const request&, const path_groups&)> action;
};

const std::vector<route_entry>& route_table() {
    static const std::vector<route_entry> routes{
        {"GET", "/api/network",
         [](const route_context& c, const request& req, const path_groups&) {
             const auto now = c.watch.walk();
             response res;
             if (req.header("If-None-Match") == now->etag)
                 res.status = 304;
             else
                 res = reply(200, now->document);
             res.set_header("ETag", now->etag);
             return res;
         }},
        {"GET", "/api/events",
         [](const route_context&, const request&, const path_groups&) {
             response res;
             res.content_type = "text/event-stream";
             res.event_stream = true;
             return res;
         }},
        {"GET", "/api/blocks/*",
         [](const route_context& c, const request&, const path_groups& m) {
             return reply(200, c.api.block_document(m[1]));
         }},
        {"POST", "/api/blocks",
         [](const route_context& c, const request& req, const path_groups&) {
             return reply(201, json{{"ticket", c.api.create(read_create_request(req.body))}});
         }},
        {"DELETE", "/api/blocks/*",
         [](const route_context& c, const request&, const path_groups& m) {
             const std::string& block = m[1];
             c.api.destroy(block);
             return reply(200, json{{"destroyed", block}});
         }},
        {"POST", "/api/blocks/*/activate",
         [](const route_context& c, const request& req, const path_groups& m) {
             const std::string& block = m[1];
             const bool active = read_activity_request(req.body);
             c.api.activate(block, active);
             return reply(200, json{{"block", block}, {"active", active}});
         }},
        {"GET", "/api/values",
         [](const route_context& c, const request& req, const path_groups&) {
             std::vector<std::string> names;
             const auto given = req.query.equal_range("name");
             for (auto it = given.first; it != given.second; ++it) names.push_back(it->second);
             if (names.empty()) throw body_error("give the values to read: ?name=block.property&name=...");
             const auto values = c.api.values(names);
             json out = json::object();
             for (std::size_t i = 0; i < names.size(); ++i) out[names[i]] = values[i] ? json(*values[i]) : json();
             return reply(200, json{{"values", out}});
         }},
        {"GET", "/api/tickets",
         [](const route_context& c, const request&, const path_groups&) {
             json blocks = json::array();
             for (const auto& e : c.api.destroyable()) blocks.push_back({{"name", e.block}, {"factory", e.factory}});
             return reply(200, json{{"blocks", blocks}});
         }},
        {"PATCH", "/api/blocks/*/properties",
         [](const route_context& c, const request& req, const path_groups& m) {
             const std::string& block = m[1];
             const body_budget::share held = large_bodies().take(req.body.size());
             const auto values = fbjson::read_property_values(req.body);
             c.api.write_properties(block, values);
             json written = json::array();
             for (const auto& v : values) written.push_back(v.name);
             return reply(200, json{{"block", block}, {"written", written}});
         }},
        {"POST", "/api/connections",
         [](const route_context& c, const request& req, const path_groups&) {
             const connection_request edit = read_connection_request(req.body);
             c.api.connect(edit);
             return reply(201, json{{"from", edit.from}, {"to", edit.to}});
         }},
        {"DELETE", "/api/connections",
         [](const route_context& c, const request& req, const path_groups&) {
             const connection_request edit = read_connection_request(req.body);
             c.api.disconnect(edit);
             return reply(200, json{{"from", edit.from}, {"to", edit.to}});
         }},
        {"POST", "/api/restore",
         [](const route_context& c, const request& req, const path_groups&) {
             const bool dry_run = dry_run_flag(dry_run_parameter(req));
             const body_budget::share held = large_bodies().take(req.body.size());
             const restore_result result = c.api.restore(fbjson::read_document(req.body), dry_run);
             return reply(200, json{{"plan", result.plan}, {"applied", result.applied}});
         }},
        // Prometheus's scrape: its own token (or the API's), allowed read-only;
        // one walk, shared with whatever else reads the network meanwhile.
        {"GET", "/metrics",
         [](const route_context& c, const request& req, const path_groups&) {
             if (!may_scrape(req.header("Authorization"), c.rules.token, c.rules.scrape_token)) return unauthorized();
             response res;
             res.content_type = "text/plain; version=0.0.4; charset=utf-8";
             res.body = scrape_metrics([&c] { return c.watch.walk()->net; }, c.match);
             res.set_header("Cache-Control", "no-cache");
             return res;
         }},
    };
    return routes;
}

response not_found_reply(const request& req) {
    return reply(404, error_body("no such resource: " + req.method + " " + req.path));
}

const char* type_of_file(const std::string& path) {
    static const std::pair<const char*, const char*> types[] = {
        {".html", "text/html"}, {".js", "text/javascript"}, {".mjs", "text/javascript"},
        {".css", "text/css"},   {".json", json_type},       {".svg", "image/svg+xml"},
        {".png", "image/png"},  {".ico", "image/x-icon"},   {".txt", "text/plain"},
    };
    for (const auto& [ending, type] : types) {
        const std::string e = ending;
        if (path.size() >= e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0) return type;
    }
    return "application/octet-stream";
}

}  // namespace

router::router(device_api& api, network_watch& watch, access_rules rules, std::string assets_dir,
               const tarn::fb::wanted_network* match)
    : api_(api), watch_(watch), rules_(std::move(rules)), assets_dir_(std::move(assets_dir)), match_(match) {
    counted_exchanges();  // the device's exchanges are counted from the start
}

response router::handle(const request& req) const {
    response res = check(req, rules_);
    if (res.status != 0) return res;
    try {
        res = route(req);
    } catch (...) {
        const error_reply e = reply_for(std::current_exception());
        res = reply(e.status, e.body);
    }
    if (req.path.rfind("/api/", 0) == 0) res.set_header("Cache-Control", "no-cache");
    return res;
}

response router::route(const request& req) const {
    const std::string method = req.method == "HEAD" ? "GET" : req.method;
    for (const route_entry& r : route_table()) {
        path_groups groups;
        if (method == r.method && match_path(r.pattern, req.path, groups))
            return r.action(route_context{api_, watch_, rules_, match_}, req, groups);
    }
    // Whatever else is not under /api is the page's.
    if (req.path.rfind("/api/", 0) != 0) return page(req);
    return not_found_reply(req);
}

response router::page(const request& req) const {
    if (req.method != "GET" && req.method != "HEAD") return not_found_reply(req);
    response res;
    if (assets_dir_.empty()) {
        const asset* a = find_asset(req.path);
        if (a == nullptr) return not_found_reply(req);
        res.set_header("Content-Security-Policy", "default-src 'self'; style-src 'self' 'unsafe-inline'");
        res.content_type = a->content_type;
        res.body.assign(reinterpret_cast<const char*>(a->data), a->size);
        return res;
    }
    // A file of the directory; no way out of it.
    std::string path = req.path;
    if (path.find("..") != std::string::npos || path.find('\0') != std::string::npos) return not_found_reply(req);
    if (path.back() == '/') path += "index.html";
    std::ifstream file(assets_dir_ + path, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf())) return not_found_reply(req);
    res.content_type = type_of_file(path);
    res.body = text.str();
    return res;
}

response refusal(int status) {
    return reply(status, error_body("request refused (HTTP " + std::to_string(status) + ")"));
}

}  // namespace fbweb
