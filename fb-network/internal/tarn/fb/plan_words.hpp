// SPDX-License-Identifier: MIT
#pragma once
// The words of a plan line. Fields are separated by one blank, so a name or
// an enum choice that holds a blank, a quote, a backslash or a control
// character, or that is empty, "-" or "->", is written in double quotes as
// text values always are: '"' and '\' escaped, control characters as \n,
// \r, \t or \xHH. A line never breaks and awk's fields stay whole.
#include <cstdio>
#include <string>

namespace tarn {
namespace fb {

inline std::string quoted(const std::string& s) {
    std::string out("\"");
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7f) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

inline std::string plan_word(const std::string& s) {
    bool plain = !s.empty() && s != "-" && s != "->";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        plain = plain && u > 0x20 && u != 0x7f && c != '"' && c != '\\';
    }
    return plain ? s : quoted(s);
}

}  // namespace fb
}  // namespace tarn
