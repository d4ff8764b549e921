// SPDX-License-Identifier: MIT
// Parsing fbrestore's command line.
#include "options.hpp"

namespace fbrestore {

namespace {

// The switches, and the member each one sets.
struct flag {
    const char* long_name;
    const char* short_name;
    bool options::*member;
};
constexpr flag flags[] = {
    {"--exact", "-x", &options::exact}, {"--dry-run", "-n", &options::dry_run}, {"--check", nullptr, &options::check},
    {"--quiet", "-q", &options::quiet}, {"--help", "-h", &options::help},       {"--version", "-V", &options::version},
};

bool set_flag(options& o, const std::string& arg) {
    for (const flag& f : flags) {
        if (arg == f.long_name || (f.short_name != nullptr && arg == f.short_name)) {
            o.*f.member = true;
            return true;
        }
    }
    return false;
}

}  // namespace

options parse_options(const std::vector<std::string>& args) {
    options o;
    bool have_file = false;
    for (const std::string& arg : args) {
        if (set_flag(o, arg)) continue;
        if (arg.size() > 1 && arg[0] == '-') throw usage_error("unknown option '" + arg + "'");
        if (have_file) throw usage_error("more than one document ('" + o.file + "', '" + arg + "')");
        o.file = arg;
        have_file = true;
    }
    return o;
}

}  // namespace fbrestore
