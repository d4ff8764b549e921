// SPDX-License-Identifier: MIT
// Parsing fbrestore's command line.
#include "options.hpp"

namespace fbrestore {

namespace {

void set_file(options& o, const std::string& file) {
    if (o.file_given) throw cli::usage_error("more than one document ('" + o.file + "', '" + file + "')");
    o.file = file;
    o.file_given = true;
}

}  // namespace

options parse_options(const std::vector<std::string>& args) {
    static const cli::syntax<options> syntax{
        {
            {"--exact", "-x", &options::exact},
            {"--dry-run", "-n", &options::dry_run},
            {"--check", nullptr, &options::check},
            {"--quiet", "-q", &options::quiet},
        },
        {},
        set_file,
    };
    return cli::parse(syntax, args);
}

}  // namespace fbrestore
