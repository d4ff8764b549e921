// SPDX-License-Identifier: MIT
// Hostile request bodies against fbweb's readers of the API's JSON: the
// create and connection bodies, property values and a network document.
//
// Input: the body, given to every reader in turn. Each must either read it
// or refuse it with its own error (answered with 400); any other exception,
// a crash or a leak is a finding. What a reader accepts must hold what the
// API relies on: non-empty names, endpoints of the form "block.port".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "document_reader.hpp"
#include "requests.hpp"

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

bool is_endpoint(const std::string& e) {
    const auto dot = e.find('.');
    return dot != std::string::npos && dot > 0 && dot + 1 < e.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    try {
        const fbweb::create_request c = fbweb::read_create_request(body);
        check(!c.factory.empty() && !c.name.empty());
    } catch (const fbweb::body_error&) {
    }
    try {
        const fbweb::connection_request c = fbweb::read_connection_request(body);
        check(is_endpoint(c.from) && is_endpoint(c.to));
    } catch (const fbweb::body_error&) {
    }
    try {
        for (const auto& p : fbjson::read_property_values(body)) check(!p.name.empty());
    } catch (const fbjson::document_error&) {
    }
    try {
        for (const auto& f : fbjson::read_document(body).factories) check(!f.name.empty());
    } catch (const fbjson::document_error&) {
    }
    return 0;
}
