// SPDX-License-Identifier: MIT
#pragma once
// The page's files (HTML, script, style sheet) built into the program.
#include <cstddef>
#include <string>

namespace fbweb {

struct asset {
    const char* path;  // as requested: "/", "/app.js", ...
    const char* content_type;
    const unsigned char* data;
    std::size_t size;
};

// The built-in file served at `path`, or null.
const asset* find_asset(const std::string& path);

}  // namespace fbweb
