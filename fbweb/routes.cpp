// SPDX-License-Identifier: MIT
// The API's routes and request checks on cpp-httplib.
#include "routes.hpp"

#include <cstdint>
#include <cstdio>
#include <optional>

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

void reply(httplib::Response& res, int status, const std::string& body) {
    res.status = status;
    res.set_content(body, json_type);
}

void reply(httplib::Response& res, int status, const json& body) { reply(res, status, body.dump() + "\n"); }

// Runs a handler; whatever it throws becomes the fitting error reply.
template <class Handler>
httplib::Server::Handler guarded(Handler handler) {
    return [handler](const httplib::Request& req, httplib::Response& res) {
        try {
            handler(req, res);
        } catch (...) {
            const error_reply e = reply_for(std::current_exception());
            reply(res, e.status, e.body);
        }
    };
}

// A strong validator of a document: 64-bit FNV-1a of its text.
std::string etag_of(const std::string& text) {
    std::uint64_t h = 14695981039346656037ULL;
    for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    char out[21];
    std::snprintf(out, sizeof out, "\"%016llx\"", static_cast<unsigned long long>(h));
    return out;
}

// The large bodies handled at once, shared by every connection.
body_budget& large_bodies() {
    static body_budget budget;
    return budget;
}

// The dry_run parameter as given: absent, bare ("?dry_run") or with a value.
std::optional<std::string> dry_run_parameter(const httplib::Request& req) {
    if (!req.has_param("dry_run")) return std::nullopt;
    return req.get_param_value("dry_run");
}

bool changes_network(const std::string& method) { return method != "GET" && method != "HEAD" && method != "OPTIONS"; }

bool is_json(const httplib::Request& req) {
    const std::string type = req.get_header_value("Content-Type");
    return type.compare(0, 16, json_type) == 0 && (type.size() == 16 || type[16] == ';' || type[16] == ' ');
}

// The host name of a Host header, without its port and brackets.
std::string host_name(const std::string& header) {
    if (!header.empty() && header.front() == '[') return header.substr(1, header.find(']') - 1);
    return header.substr(0, header.find(':'));
}

// The checks before routing: the token for every API request; for one that
// changes the network, not read-only and a JSON body (so a plain HTML form on
// another site cannot send it).
httplib::Server::HandlerResponse check(const httplib::Request& req, httplib::Response& res, const access_rules& rules) {
    if (rules.loopback_hosts_only && !is_loopback(host_name(req.get_header_value("Host")))) {
        reply(res, 403, error_body("the Host header must name this machine (127.0.0.1, localhost or [::1])"));
        return httplib::Server::HandlerResponse::Handled;
    }
    if (req.path.rfind("/api/", 0) != 0) return httplib::Server::HandlerResponse::Unhandled;
    if (!rules.token.empty() && !bearer_matches(req.get_header_value("Authorization"), rules.token)) {
        res.set_header("WWW-Authenticate", "Bearer");
        reply(res, 401, error_body("a valid token is needed: Authorization: Bearer TOKEN"));
        return httplib::Server::HandlerResponse::Handled;
    }
    if (changes_network(req.method)) {
        if (rules.read_only) {
            reply(res, 403, error_body("the server is read-only"));
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!is_json(req)) {
            reply(res, 415, error_body("a request that changes the network needs Content-Type: application/json"));
            return httplib::Server::HandlerResponse::Handled;
        }
    }
    res.set_header("Cache-Control", "no-cache");
    return httplib::Server::HandlerResponse::Unhandled;
}

}  // namespace

void add_api_routes(httplib::Server& server, device_api& api, const access_rules& rules) {
    server.set_pre_routing_handler(
        [rules](const httplib::Request& req, httplib::Response& res) { return check(req, res, rules); });

    server.Get("/api/network", guarded([&api](const httplib::Request& req, httplib::Response& res) {
                   const std::string document = api.network_document();
                   const std::string etag = etag_of(document);
                   res.set_header("ETag", etag);
                   if (req.get_header_value("If-None-Match") == etag) {
                       res.status = 304;
                       return;
                   }
                   reply(res, 200, document);
               }));

    server.Get(R"(/api/blocks/([^/]+))", guarded([&api](const httplib::Request& req, httplib::Response& res) {
                   reply(res, 200, api.block_document(req.matches[1]));
               }));

    server.Post("/api/blocks", guarded([&api](const httplib::Request& req, httplib::Response& res) {
                    const create_request request = read_create_request(req.body);
                    reply(res, 201, json{{"ticket", api.create(request)}});
                }));

    server.Delete(R"(/api/blocks/([^/]+))", guarded([&api](const httplib::Request& req, httplib::Response& res) {
                      const std::string block = req.matches[1];
                      api.destroy(block);
                      reply(res, 200, json{{"destroyed", block}});
                  }));

    server.Post(R"(/api/blocks/([^/]+)/activate)", guarded([&api](const httplib::Request& req, httplib::Response& res) {
                    const std::string block = req.matches[1];
                    const bool active = read_activity_request(req.body);
                    api.activate(block, active);
                    reply(res, 200, json{{"block", block}, {"active", active}});
                }));

    server.Get("/api/values", guarded([&api](const httplib::Request& req, httplib::Response& res) {
                   std::vector<std::string> names;
                   for (std::size_t i = 0; i < req.get_param_value_count("name"); ++i)
                       names.push_back(req.get_param_value("name", i));
                   if (names.empty()) throw body_error("give the values to read: ?name=block.property&name=...");
                   const auto values = api.values(names);
                   json out = json::object();
                   for (std::size_t i = 0; i < names.size(); ++i) out[names[i]] = values[i] ? json(*values[i]) : json();
                   reply(res, 200, json{{"values", out}});
               }));

    server.Get("/api/tickets", guarded([&api](const httplib::Request&, httplib::Response& res) {
                   json blocks = json::array();
                   for (const auto& e : api.destroyable())
                       blocks.push_back({{"name", e.block}, {"factory", e.factory}});
                   reply(res, 200, json{{"blocks", blocks}});
               }));

    server.Patch(R"(/api/blocks/([^/]+)/properties)",
                 guarded([&api](const httplib::Request& req, httplib::Response& res) {
                     const std::string block = req.matches[1];
                     const body_budget::share held = large_bodies().take(req.body.size());
                     const auto values = fbjson::read_property_values(req.body);
                     api.write_properties(block, values);
                     json written = json::array();
                     for (const auto& v : values) written.push_back(v.name);
                     reply(res, 200, json{{"block", block}, {"written", written}});
                 }));

    server.Post("/api/connections", guarded([&api](const httplib::Request& req, httplib::Response& res) {
                    const connection_request request = read_connection_request(req.body);
                    api.connect(request);
                    reply(res, 201, json{{"from", request.from}, {"to", request.to}});
                }));

    server.Delete("/api/connections", guarded([&api](const httplib::Request& req, httplib::Response& res) {
                      const connection_request request = read_connection_request(req.body);
                      api.disconnect(request);
                      reply(res, 200, json{{"from", request.from}, {"to", request.to}});
                  }));

    server.Post("/api/restore", guarded([&api](const httplib::Request& req, httplib::Response& res) {
                    const bool dry_run = dry_run_flag(dry_run_parameter(req));
                    const body_budget::share held = large_bodies().take(req.body.size());
                    const restore_result result = api.restore(fbjson::read_document(req.body), dry_run);
                    reply(res, 200, json{{"plan", result.plan}, {"applied", result.applied}});
                }));

    // Every other status without a body (unknown route, oversized body) still answers JSON.
    server.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        const std::string what = res.status == 404 ? "no such resource: " + req.method + " " + req.path
                                                   : "request refused (HTTP " + std::to_string(res.status) + ")";
        res.set_content(error_body(what), json_type);
    });
}

void add_metrics_route(httplib::Server& server, device_api& api, const access_rules& rules,
                       const tarn::fb::wanted_network* match) {
    counted_exchanges();
    server.Get("/metrics", guarded([&api, rules, match](const httplib::Request& req, httplib::Response& res) {
                   if (!may_scrape(req.get_header_value("Authorization"), rules.token, rules.scrape_token)) {
                       res.set_header("WWW-Authenticate", "Bearer");
                       reply(res, 401, error_body("a valid token is needed: Authorization: Bearer TOKEN"));
                       return;
                   }
                   res.set_header("Cache-Control", "no-cache");
                   res.set_content(api.metrics(match), "text/plain; version=0.0.4; charset=utf-8");
               }));
}

void add_page_routes(httplib::Server& server, const std::string& dir) {
    if (!dir.empty()) {
        server.set_mount_point("/", dir);
        return;
    }
    server.Get(R"(/|/app\.js|/app\.css)", [](const httplib::Request& req, httplib::Response& res) {
        const asset* a = find_asset(req.path);
        res.set_header("Content-Security-Policy", "default-src 'self'; style-src 'self' 'unsafe-inline'");
        res.set_content(reinterpret_cast<const char*>(a->data), a->size, a->content_type);
    });
}

}  // namespace fbweb
