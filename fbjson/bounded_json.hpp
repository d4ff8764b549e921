// SPDX-License-Identifier: MIT
#pragma once
// JSON text parsed with the limits every reader of documents and request
// bodies applies: a bounded nesting depth and no key given twice.
#include <string>

#include <nlohmann/json.hpp>

namespace fbjson {

// Arrays and objects nest at most this deep. fbdump's documents need 9
// levels (an enum's choices inside a property inside a block); the rest is
// room for values. Everything that walks a parsed value may recurse this far.
constexpr int max_depth = 32;

// The value of `text`. Throws document_error for text that is not JSON (with
// its line and column), nests deeper than max_depth or gives a key twice in
// one object (with the place, as "factories[0].blocks[1]").
nlohmann::json parse_bounded(const std::string& text);

}  // namespace fbjson
