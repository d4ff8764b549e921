// SPDX-License-Identifier: MIT
#pragma once
// The command lines of the project's tools, read from tables: switches that
// set a flag, options that take a value (as the next word or after "="),
// and the words that are not options. --help/-h and --version/-V are
// every tool's.
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

// A command line a tool does not take; what() says what is wrong with it.
class usage_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The switches every tool has; a tool's options derive from this.
struct common_options {
    bool help = false;     // --help, -h
    bool version = false;  // --version, -V
};

// A switch: its long and short name, the member it sets and the value it sets.
template <class Options>
struct switch_entry {
    const char* long_name;
    const char* short_name;  // null: none
    bool Options::*member;
    bool value = true;
};

// An option with a value, "--name VALUE" or "--name=VALUE".
template <class Options>
struct value_entry {
    const char* long_name;
    const char* value_name;                           // what a missing value is called: "a factory name"
    void (*set)(Options&, const std::string& value);  // may throw usage_error
};

template <class Options>
struct syntax {
    std::vector<switch_entry<Options>> switches;
    std::vector<value_entry<Options>> values;
    // Takes a word that is not an option; null: the tool takes none.
    void (*operand)(Options&, const std::string& word) = nullptr;
};

// Reads the arguments that follow the program name; throws usage_error for
// an unknown option, an option without its value, a value given to a switch,
// or a word the tool does not take.
template <class Options>
Options parse(const syntax<Options>& s, const std::vector<std::string>& args) {
    Options o;
    const switch_entry<Options> common[] = {
        {"--help", "-h", &Options::help},
        {"--version", "-V", &Options::version},
    };
    const auto set_switch = [&o](const switch_entry<Options>& e, const std::string& name) {
        if (name != e.long_name && (e.short_name == nullptr || name != e.short_name)) return false;
        o.*e.member = e.value;
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        const auto eq = name.find('=');
        const bool has_value = name.rfind("--", 0) == 0 && eq != std::string::npos;
        if (has_value) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        bool known = false;
        for (const value_entry<Options>& e : s.values) {
            if (name != e.long_name) continue;
            if (!has_value) {
                if (i + 1 == args.size()) throw usage_error("option " + name + " needs " + e.value_name);
                value = args[++i];
            }
            e.set(o, value);
            known = true;
        }
        if (known) continue;
        for (const auto& e : common) known = known || set_switch(e, name);
        for (const auto& e : s.switches) known = known || set_switch(e, name);
        if (known && has_value) throw usage_error("option " + name + " takes no value");
        if (known) continue;
        if (args[i].size() > 1 && args[i][0] == '-') throw usage_error("unknown option '" + args[i] + "'");
        if (s.operand == nullptr) throw usage_error("unexpected argument '" + args[i] + "'");
        s.operand(o, args[i]);
    }
    return o;
}

}  // namespace cli
