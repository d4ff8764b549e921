// SPDX-License-Identifier: MIT
#pragma once
// A request and its response as plain values: what the routes read and
// write, whatever carries them over the network.
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fbweb {

struct request {
    std::string method;                             // "GET", "POST", ...
    std::string path;                               // percent-decoded, without the query
    std::multimap<std::string, std::string> query;  // decoded parameters
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string remote_address;

    // The first header of that name (any case), or "".
    std::string header(const std::string& name) const;
    // The first query parameter of that name, or "".
    std::string param(const std::string& name) const;
};

struct response {
    int status = 200;
    std::string content_type;  // empty: no body type
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // The connection becomes a stream of server-sent events: the transport
    // writes the status and headers, then the events as they come.
    bool event_stream = false;

    void set_header(const std::string& name, const std::string& value);
};

// Splits a request target "/path?a=1&b=2" into `into.path` and `into.query`,
// percent-decoding both ('+' is a blank in the query). False when the target
// is not an absolute path or holds a malformed escape.
bool read_target(const std::string& target, request& into);

}  // namespace fbweb
