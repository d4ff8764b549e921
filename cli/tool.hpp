// SPDX-License-Identifier: MIT
#pragma once
// What every tool's main does: reads the command line, answers --help and
// --version, runs the tool, and says any failure on standard error as
// "<tool>: <reason>" on one line (for a device the process may not use, with
// the cause and its fix).
#include <exception>
#include <string>
#include <vector>

#include <tarn/fb/failure_text.hpp>

#include "command_line.hpp"

namespace cli {

struct tool {
    const char* name;
    const char* version;
    const char* help_text;
    int usage_status;  // the exit status of a bad command line
};

// The exit status of a failure.
constexpr int failed = 1;

// Writes `text` to standard output whole; throws std::runtime_error when
// standard output does not take it.
void print(const std::string& text);

// "<tool>: <message>" on standard error, line breaks in the message made
// blanks; returns `status`.
int complain(const tool& t, const std::string& message, int status = failed);

// Runs `t`: `parse` reads the arguments, `run` does the work and returns
// the exit status.
template <class Options>
int run_tool(const tool& t, int argc, char** argv, Options (*parse)(const std::vector<std::string>&),
             int (*run)(const Options&)) {
    Options o;
    try {
        o = parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    } catch (const usage_error& e) {
        return complain(t, std::string(e.what()) + " (see " + t.name + " --help)", t.usage_status);
    }
    try {
        if (o.help) {
            print(t.help_text);
            return 0;
        }
        if (o.version) {
            print(std::string(t.name) + " " + t.version + "\n");
            return 0;
        }
        return run(o);
    } catch (const std::exception& e) {
        return complain(t, tarn::fb::describe_failure(e));
    }
}

}  // namespace cli
