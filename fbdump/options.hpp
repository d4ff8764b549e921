// SPDX-License-Identifier: MIT
#pragma once
// fbdump's command line.
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace fbdump {

struct options {
    bool dot = false;                 // --dot: a Graphviz graph instead of JSON
    bool compact = false;             // --compact: JSON on one line
    bool help = false;                // --help, -h
    bool version = false;             // --version, -V
    std::set<std::string> factories;  // --factory NAME, repeatable; empty: all
};

// A command line fbdump does not take; what() says what is wrong with it.
class usage_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments that follow the program name. "--factory NAME" may
// also be written "--factory=NAME". Throws usage_error for an unknown option,
// a missing NAME or any other word.
options parse_options(const std::vector<std::string>& args);

// The text of --help.
extern const char* const help_text;

}  // namespace fbdump
