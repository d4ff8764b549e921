// SPDX-License-Identifier: MIT
#include "options.hpp"

namespace fbdump {

options parse_options(const std::vector<std::string>& args) {
    static const cli::syntax<options> syntax{
        {{"--dot", nullptr, &options::dot},
         {"--compact", nullptr, &options::compact},
         {"--watch", nullptr, &options::watch}},
        {{"--factory", "a factory name", [](options& o, const std::string& name) { o.factories.insert(name); }}},
    };
    options o = cli::parse(syntax, args);
    if (o.watch && o.dot) throw cli::usage_error("--watch prints JSON lines: it does not go with --dot");
    return o;
}

}  // namespace fbdump
