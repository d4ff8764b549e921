// SPDX-License-Identifier: MIT
#include "options.hpp"

namespace fbdump {

options parse_options(const std::vector<std::string>& args) {
    static const cli::syntax<options> syntax{
        {{"--dot", nullptr, &options::dot}, {"--compact", nullptr, &options::compact}},
        {{"--factory", "a factory name", [](options& o, const std::string& name) { o.factories.insert(name); }}},
    };
    return cli::parse(syntax, args);
}

}  // namespace fbdump
