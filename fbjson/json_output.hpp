// SPDX-License-Identifier: MIT
#pragma once
// The network as one JSON document, as fbdump prints it.
#include <string>

#include <tarn/fb/network.hpp>

namespace fbjson {

// {"factories": [{"name", "blocks": [{"name", "properties": [{"name", "type",
// "value"}], "inputs": [{"name", "connections"}], "outputs": [...]}]}]},
// indented by two spaces or, with `compact`, on one line; ends with a line
// end. Bytes of names and strings that are not UTF-8 become U+FFFD.
std::string to_json(const tarn::fb::network& net, bool compact);

// One block as the document shows it: {"name", "properties", "inputs",
// "outputs"}, on one line, with a line end.
std::string block_to_json(const tarn::fb::block_state& block);

}  // namespace fbjson
