// SPDX-License-Identifier: MIT
// Parsing fbweb's command line.
#include "options.hpp"

#include <charconv>

namespace fbweb {

namespace {

int number_in(const std::string& text, int low, int high, const std::string& what) {
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < low || n > high)
        throw cli::usage_error(what + " must be a number from " + std::to_string(low) + " to " + std::to_string(high) +
                               ", not '" + text + "'");
    return n;
}

void set_listen(options& o, const std::string& value) {
    const auto colon = value.rfind(':');
    if (colon == std::string::npos || colon == 0)
        throw cli::usage_error("--listen needs ADDR:PORT, not '" + value + "'");
    std::string host = value.substr(0, colon);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') throw cli::usage_error("--listen: unclosed '[' in '" + value + "'");
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        throw cli::usage_error("--listen: write an IPv6 address in brackets, as [::1]:8080");
    }
    o.host = host;
    o.port = number_in(value.substr(colon + 1), 0, 65535, "the port");
}

}  // namespace

options parse_options(const std::vector<std::string>& args) {
    static const cli::syntax<options> syntax{
        {
            {"--read-only", nullptr, &options::read_only},
            {"--no-log", nullptr, &options::log, false},
        },
        {
            {"--listen", "ADDR:PORT", set_listen},
            {"--token-file", "a file name",
             [](options& o, const std::string& file) {
                 if (file.empty()) throw cli::usage_error("--token-file needs a file name");
                 o.token_file = file;
             }},
            {"--metrics-token", "a file name",
             [](options& o, const std::string& file) {
                 if (file.empty()) throw cli::usage_error("--metrics-token needs a file name");
                 o.metrics_token_file = file;
             }},
            {"--match", "a file name",
             [](options& o, const std::string& file) {
                 if (file.empty()) throw cli::usage_error("--match needs a file name");
                 o.match_file = file;
             }},
            {"--assets", "a directory", [](options& o, const std::string& dir) { o.assets_dir = dir; }},
            {"--threads", "a number",
             [](options& o, const std::string& n) { o.threads = number_in(n, 2, 256, "--threads"); }},
            {"--header-timeout", "a number of seconds",
             [](options& o, const std::string& n) { o.header_timeout = number_in(n, 1, 3600, "--header-timeout"); }},
            {"--per-client", "a number",
             [](options& o, const std::string& n) { o.per_client = number_in(n, 1, 65536, "--per-client"); }},
        },
    };
    return cli::parse(syntax, args);
}

}  // namespace fbweb
