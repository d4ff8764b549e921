// SPDX-License-Identifier: MIT
// The --help text, written to become the manual page later.
#include "options.hpp"

namespace fbdump {

const char* const help_text = R"(usage: fbdump [--dot] [--compact] [--factory NAME]...
       fbdump --watch [--factory NAME]...
       fbdump --help | --version

Reads the whole function-block network of /dev/functionblocks: the
factories, the blocks of each, every block's properties with their values
and its input and output ports with their connections. Prints it on
standard output as one JSON document or, with --dot, as a Graphviz graph:

  fbdump | jq '.factories[].blocks[].name'
  fbdump --dot | dot -Tsvg > network.svg

The document is printed only once the whole network has been read, so a
device error never leaves part of it on standard output.

options:
  --dot            a Graphviz digraph instead of JSON: one record per block,
                   input ports on the left, output ports on the right, and
                   one edge per connection from output to input port
  --compact        the JSON document on a single line
  --factory NAME   only the blocks of factory NAME (also --factory=NAME);
                   may be given more than once
  --watch          keep reading the network and print one JSON line per
                   change, until stopped (fbdump --watch | jq); the device
                   has no change notification, so it is read again after
                   twenty times as long as the last reading took, at least
                   every 500 ms (the pause is stated on standard error)
  -h, --help       this text
  -V, --version    the version

JSON document:
  {"factories": [{"name", "blocks": [{"name",
      "properties": [{"name", "type", "value"}],
      "inputs": [{"name", "connections": ["block.port", ...]}],
      "outputs": [...]}]}]}
  Factories and blocks are sorted by name; properties and ports come in the
  device's order. A value is a number, a string, true or false, null (nil),
  an array (vectors, arrays) or an object; an enum's value is
  {"choices": [...], "index": N}. NaN and infinities are the strings "nan",
  "inf" and "-inf". Text that is not UTF-8 has U+FFFD in place of the bad
  bytes.

change line (--watch), as fbweb's change events:
  {"etag": "\"...\"", "blocks_added": [{"factory", "name", "properties",
      "inputs", "outputs"}], "blocks_removed": ["name", ...],
   "properties": [{"block", "name", "value"}],
   "connections_added": [{"from": "block.port", "to": "block.port"}],
   "connections_removed": [...]}
  Lists with nothing in them are left out.

exit status:
  0  the network was printed
  1  the device could not be opened or a query failed (with --watch, at
     any reading); "fbdump: " and the reason on one line of standard
     error, nothing more on standard output
  2  usage error (unknown option, missing NAME, stray argument); the
     reason on standard error
)";

}  // namespace fbdump
