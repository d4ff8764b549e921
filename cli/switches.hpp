// SPDX-License-Identifier: MIT
#pragma once
// The command-line switches of the project's tools as a table: each switch's
// long and short name and the member of the tool's options it sets.
#include <cstddef>
#include <string>

namespace cli {

template <class Options>
struct switch_entry {
    const char* long_name;
    const char* short_name;  // null: none
    bool Options::*member;
};

// Sets the member of the switch `arg` names; false when it names none.
template <class Options, std::size_t N>
bool set_switch(const switch_entry<Options> (&table)[N], Options& o, const std::string& arg) {
    for (const switch_entry<Options>& s : table) {
        if (arg == s.long_name || (s.short_name != nullptr && arg == s.short_name)) {
            o.*s.member = true;
            return true;
        }
    }
    return false;
}

}  // namespace cli
