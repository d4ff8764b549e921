// SPDX-License-Identifier: MIT
#pragma once
// fbrestore's command line.
#include <string>
#include <vector>

#include <command_line.hpp>

namespace fbrestore {

struct options : cli::common_options {
    bool exact = false;       // -x, --exact: also disconnect what the document does not have
    bool dry_run = false;     // -n, --dry-run: print the plan, change nothing
    bool check = false;       // --check: as --dry-run, exit 2 when the device differs
    bool quiet = false;       // -q, --quiet: no plan lines
    std::string file = "-";   // the document; "-" is standard input
    bool file_given = false;  // a FILE was on the command line
};

// Reads the arguments that follow the program name; throws cli::usage_error
// for an unknown option or a second file.
options parse_options(const std::vector<std::string>& args);

// The text of --help.
extern const char* const help_text;

}  // namespace fbrestore
