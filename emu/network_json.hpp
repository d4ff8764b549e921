// SPDX-License-Identifier: MIT
#pragma once
// The network as JSON: the format of the state file and of catalog files
// (described in emu/README.md).
#include "value_types.hpp"

#include "network.hpp"

namespace fbemu {

json network_to_json(const network& net);

// A property value as the network file writes it (an enum as its index, no
// type tag), and back; property_value throws when `j` is no value of `decl`.
json property_json(const property_decl& decl, const boost::any& v);
boost::any property_value(const property_decl& decl, const json& j);

// Checks everything: unknown types, factories, ports and properties, duplicate
// names and tickets, values out of range. Throws std::runtime_error naming
// the place ("blocks[2].properties.cutoff: ...").
network network_from_json(const json& j);

// The network a device starts with when no state and no catalog file is given.
network default_network();

}  // namespace fbemu
