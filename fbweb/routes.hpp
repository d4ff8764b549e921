// SPDX-License-Identifier: MIT
#pragma once
// The server's routes: the page, the JSON API, and the checks every request
// passes first (Host, token, read-only, content type). A request value in,
// a response value out: nothing here knows the transport.
#include <string>

#include "device_api.hpp"
#include "exchange.hpp"
#include "network_watch.hpp"

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

class router {
public:
    // `api`, `watch` and `match` must outlive the router. `assets_dir`: serve
    // the page from there; empty: the copy built in. `match`: the document
    // /metrics compares the network with, or null.
    router(device_api& api, network_watch& watch, access_rules rules, std::string assets_dir,
           const tarn::fb::wanted_network* match = nullptr);

    // The response to `req`. May talk to the device: call it off the event loop.
    response handle(const request& req) const;

private:
    response route(const request& req) const;
    response page(const request& req) const;

    device_api& api_;
    network_watch& watch_;
    access_rules rules_;
    std::string assets_dir_;
    const tarn::fb::wanted_network* match_;
};

// The JSON response of a status the transport gives (400, 408, 413, 431, ...).
response refusal(int status);

}  // namespace fbweb
