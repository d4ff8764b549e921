// SPDX-License-Identifier: MIT
#pragma once
// The walked network as one JSON document.
#include <string>

#include "walk.hpp"

namespace fbdump {

// {"factories": [{"name", "blocks": [{"name", "properties": [{"name", "type",
// "value"}], "inputs": [{"name", "connections"}], "outputs": [...]}]}]},
// indented by two spaces or, with `compact`, on one line; ends with a line
// end. Bytes of names and strings that are not UTF-8 become U+FFFD.
std::string to_json(const network_dump& net, bool compact);

}  // namespace fbdump
