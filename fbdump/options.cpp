// SPDX-License-Identifier: MIT
#include "options.hpp"

#include <switches.hpp>

namespace fbdump {

namespace {

constexpr const char* factory_option = "--factory";

// The switches that take no argument, and the member each one sets.
constexpr cli::switch_entry<options> flags[] = {
    {"--dot", nullptr, &options::dot},
    {"--compact", nullptr, &options::compact},
    {"--help", "-h", &options::help},
    {"--version", "-V", &options::version},
};

}  // namespace

options parse_options(const std::vector<std::string>& args) {
    options o;
    const std::string with_value = std::string(factory_option) + "=";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (cli::set_switch(flags, o, arg)) continue;
        if (arg == factory_option) {
            if (i + 1 == args.size()) throw usage_error("option --factory needs a factory name");
            o.factories.insert(args[++i]);
        } else if (arg.compare(0, with_value.size(), with_value) == 0) {
            o.factories.insert(arg.substr(with_value.size()));
        } else if (!arg.empty() && arg[0] == '-') {
            throw usage_error("unknown option '" + arg + "'");
        } else {
            throw usage_error("unexpected argument '" + arg + "'");
        }
    }
    return o;
}

}  // namespace fbdump
