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
        throw usage_error(what + " must be a number from " + std::to_string(low) + " to " + std::to_string(high) +
                          ", not '" + text + "'");
    return n;
}

void set_listen(options& o, const std::string& value) {
    const auto colon = value.rfind(':');
    if (colon == std::string::npos || colon == 0) throw usage_error("--listen needs ADDR:PORT, not '" + value + "'");
    std::string host = value.substr(0, colon);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') throw usage_error("--listen: unclosed '[' in '" + value + "'");
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        throw usage_error("--listen: write an IPv6 address in brackets, as [::1]:8080");
    }
    o.host = host;
    o.port = number_in(value.substr(colon + 1), 0, 65535, "the port");
}

}  // namespace

options parse_options(const std::vector<std::string>& args) {
    options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool has_value = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            has_value = true;
        }
        // The value of an option that takes one, from "=VALUE" or the next word.
        const auto take = [&]() -> std::string {
            if (has_value) return value;
            if (i + 1 == args.size()) throw usage_error("option " + arg + " needs a value");
            return args[++i];
        };
        if (arg == "--listen") {
            set_listen(o, take());
        } else if (arg == "--token-file") {
            o.token_file = take();
            if (o.token_file.empty()) throw usage_error("--token-file needs a file name");
        } else if (arg == "--assets") {
            o.assets_dir = take();
        } else if (arg == "--threads") {
            o.threads = number_in(take(), 2, 256, "--threads");
        } else if (has_value) {
            throw usage_error("option " + arg + " takes no value");
        } else if (arg == "--read-only") {
            o.read_only = true;
        } else if (arg == "--no-log") {
            o.log = false;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version" || arg == "-V") {
            o.version = true;
        } else if (!arg.empty() && arg[0] == '-') {
            throw usage_error("unknown option '" + arg + "'");
        } else {
            throw usage_error("unexpected argument '" + arg + "'");
        }
    }
    return o;
}

}  // namespace fbweb
