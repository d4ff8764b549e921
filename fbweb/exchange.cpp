// SPDX-License-Identifier: MIT
// Reading request targets and headers.
#include "exchange.hpp"

#include <strings.h>

#include <algorithm>

namespace fbweb {

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool decode(const std::string& in, bool plus_is_blank, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%') {
            if (i + 2 >= in.size()) return false;
            const int high = hex_digit(in[i + 1]);
            const int low = hex_digit(in[i + 2]);
            if (high < 0 || low < 0) return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += plus_is_blank && in[i] == '+' ? ' ' : in[i];
        }
    }
    return true;
}

}  // namespace

std::string request::header(const std::string& name) const {
    for (const auto& h : headers)
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0) return h.second;
    return "";
}

std::string request::param(const std::string& name) const {
    const auto it = query.find(name);
    return it == query.end() ? "" : it->second;
}

void response::set_header(const std::string& name, const std::string& value) {
    for (auto& h : headers)
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0) {
            h.second = value;
            return;
        }
    headers.emplace_back(name, value);
}

bool read_target(const std::string& target, request& into) {
    if (target.empty() || target.front() != '/') return false;
    const auto mark = target.find('?');
    if (!decode(target.substr(0, mark), false, into.path)) return false;
    into.query.clear();
    if (mark == std::string::npos) return true;
    const std::string query = target.substr(mark + 1);
    std::size_t start = 0;
    while (start <= query.size()) {
        const auto end = std::min(query.find('&', start), query.size());
        const std::string pair = query.substr(start, end - start);
        if (!pair.empty()) {
            const auto eq = pair.find('=');
            std::string name, value;
            if (!decode(pair.substr(0, eq), true, name)) return false;
            if (eq != std::string::npos && !decode(pair.substr(eq + 1), true, value)) return false;
            into.query.emplace(std::move(name), std::move(value));
        }
        start = end + 1;
    }
    return true;
}

}  // namespace fbweb
