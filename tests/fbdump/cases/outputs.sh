# SPDX-License-Identifier: MIT
# The documents of a network with every property type and odd names: JSON,
# compact JSON, the graph, and both limited to some factories.
patch="$(dirname "$CASE")/../networks/patch.json"
fbdump_patch() { run --catalog "$patch" run -- fbdump "$@"; }
fbdump_patch
fbdump_patch --compact --factory unused --factory=sink
fbdump_patch --dot
fbdump_patch --dot --factory sink
