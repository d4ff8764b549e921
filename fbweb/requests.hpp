// SPDX-License-Identifier: MIT
#pragma once
// The JSON bodies of the API's requests, read into plain values. Whatever
// the bytes, a body is either read or refused with body_error.
#include <optional>
#include <stdexcept>
#include <string>

namespace fbweb {

// A body that is not JSON or not of the request's shape (answered with 400).
class body_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// POST /api/blocks: {"factory": "...", "name": "..."}
struct create_request {
    std::string factory;
    std::string name;
};
create_request read_create_request(const std::string& body);

// POST and DELETE /api/connections: {"from": "block.port", "to": "block.port"}
struct connection_request {
    std::string from;
    std::string to;
};
connection_request read_connection_request(const std::string& body);

// The dry_run query parameter: absent (nullopt) or "0" or "false" is no dry
// run; present without a value, "1" or "true" is one; anything else is
// refused (body_error), so that a misspelt value never changes the device.
bool dry_run_flag(const std::optional<std::string>& value);

// POST /api/blocks/NAME/activate: {"active": true|false}
bool read_activity_request(const std::string& body);

}  // namespace fbweb
