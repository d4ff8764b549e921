// SPDX-License-Identifier: MIT
#pragma once
// The one translation of an exception into the API's answer: an HTTP status
// and the body {"error": "...", ...}.
#include <exception>
#include <string>

namespace fbweb {

struct error_reply {
    int status;
    std::string body;  // JSON, with a line end
};

// The reply for the exception `failure` (from a request handler).
error_reply reply_for(const std::exception_ptr& failure);

// {"error": message} with a line end.
std::string error_body(const std::string& message);

}  // namespace fbweb
