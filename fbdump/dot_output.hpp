// SPDX-License-Identifier: MIT
#pragma once
// The walked network as a Graphviz graph.
#include <string>

#include <tarn/fb/network.hpp>

namespace fbdump {

// A digraph drawn left to right: one record node per block with its input
// ports on the left, its name and factory in the middle and its output ports
// on the right; one edge per connection, from the output port to the input
// port. A connection whose other end is not a port of a walked block (the
// walk was limited to some factories) ends at a plain node of its own,
// labelled with that endpoint's name.
std::string to_dot(const tarn::fb::network& net);

}  // namespace fbdump
