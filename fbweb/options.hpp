// SPDX-License-Identifier: MIT
#pragma once
// fbweb's command line.
#include <string>
#include <vector>

#include <command_line.hpp>

namespace fbweb {

struct options : cli::common_options {
    std::string host = "127.0.0.1";  // --listen ADDR:PORT
    int port = 8080;                 // 0: any free port (printed at start)
    std::string token_file;          // --token-file FILE; empty: no token
    std::string metrics_token_file;  // --metrics-token FILE: a second token that may only scrape
    std::string match_file;          // --match FILE: the document the network should match
    std::string assets_dir;          // --assets DIR; empty: the page built into the program
    bool read_only = false;          // --read-only
    bool log = true;                 // --no-log switches the request log off
    int threads = 16;                // --threads N: requests handled at once
    int header_timeout = 10;         // --header-timeout SECONDS: to send a request's headers
    int per_client = 16;             // --per-client N: connections open at once from one address
};

// Reads the arguments that follow the program name. Options with a value
// may also be written "--option=VALUE". ADDR is an IPv4 address, a host
// name, or an IPv6 address in brackets ("[::1]:8080"). Throws
// cli::usage_error for a command line fbweb does not take.
options parse_options(const std::vector<std::string>& args);

// The text of --help.
extern const char* const help_text;

}  // namespace fbweb
