// SPDX-License-Identifier: MIT
#pragma once
// The server's routes: the page, the JSON API, and the checks every request
// passes first (token, read-only, content type).
#include <string>

#include <httplib.h>

#include "device_api.hpp"

namespace fbweb {

struct access_rules {
    std::string token;  // empty: no token needed
    bool read_only = false;
    // Listening on loopback without a token: only requests naming this machine
    // in their Host header, so a web site cannot reach the API by pointing
    // its own host name at 127.0.0.1 (DNS rebinding).
    bool loopback_hosts_only = false;
    std::string scrape_token;  // empty: scrapes need `token` (when set)
};

// Adds the API's routes and checks to `server`; `api` must outlive it.
void add_api_routes(httplib::Server& server, device_api& api, const access_rules& rules);

// Serves GET /metrics, compared with `match` (may be null; must outlive the
// server), and starts counting the device's exchanges.
void add_metrics_route(httplib::Server& server, device_api& api, const access_rules& rules,
                       const tarn::fb::wanted_network* match);

// Serves the page: the files of `dir`, or the copy built in when `dir` is empty.
void add_page_routes(httplib::Server& server, const std::string& dir);

}  // namespace fbweb
