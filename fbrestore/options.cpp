// SPDX-License-Identifier: MIT
// Parsing fbrestore's command line.
#include "options.hpp"

#include <switches.hpp>

namespace fbrestore {

namespace {

// The switches, and the member each one sets.
constexpr cli::switch_entry<options> flags[] = {
    {"--exact", "-x", &options::exact}, {"--dry-run", "-n", &options::dry_run}, {"--check", nullptr, &options::check},
    {"--quiet", "-q", &options::quiet}, {"--help", "-h", &options::help},       {"--version", "-V", &options::version},
};

}  // namespace

options parse_options(const std::vector<std::string>& args) {
    options o;
    bool have_file = false;
    for (const std::string& arg : args) {
        if (cli::set_switch(flags, o, arg)) continue;
        if (arg.size() > 1 && arg[0] == '-') throw usage_error("unknown option '" + arg + "'");
        if (have_file) throw usage_error("more than one document ('" + o.file + "', '" + arg + "')");
        o.file = arg;
        have_file = true;
    }
    return o;
}

}  // namespace fbrestore
