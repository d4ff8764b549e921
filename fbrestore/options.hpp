// SPDX-License-Identifier: MIT
#pragma once
// fbrestore's command line.
#include <stdexcept>
#include <string>
#include <vector>

namespace fbrestore {

struct options {
    bool exact = false;      // -x, --exact: also disconnect what the document does not have
    bool dry_run = false;    // -n, --dry-run: print the plan, change nothing
    bool check = false;      // --check: as --dry-run, exit 2 when the device differs
    bool quiet = false;      // -q, --quiet: no plan lines
    bool help = false;       // -h, --help
    bool version = false;    // -V, --version
    std::string file = "-";  // the document; "-" is standard input
};

// A command line fbrestore does not take; what() says what is wrong with it.
class usage_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments that follow the program name; throws usage_error for
// an unknown option or a second file.
options parse_options(const std::vector<std::string>& args);

// The text of --help.
extern const char* const help_text;

}  // namespace fbrestore
