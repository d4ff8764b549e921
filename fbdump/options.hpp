// SPDX-License-Identifier: MIT
#pragma once
// fbdump's command line.
#include <set>
#include <string>
#include <vector>

#include <command_line.hpp>

namespace fbdump {

struct options : cli::common_options {
    bool dot = false;                 // --dot: a Graphviz graph instead of JSON
    bool compact = false;             // --compact: JSON on one line
    bool watch = false;               // --watch: a JSON line per change, until stopped
    std::set<std::string> factories;  // --factory NAME, repeatable; empty: all
};

// Reads the arguments that follow the program name. "--factory NAME" may
// also be written "--factory=NAME". Throws cli::usage_error for an unknown
// option, a missing NAME, any other word, or --watch with --dot.
options parse_options(const std::vector<std::string>& args);

// The text of --help.
extern const char* const help_text;

}  // namespace fbdump
