#!/bin/sh
# SPDX-License-Identifier: MIT
# Renders fbdump's graph of a network with Graphviz and checks the picture:
# dot takes the graph without a complaint and draws every block and every
# connection, each name as one piece of text (as SVG writes it).
#   render.sh FBEMU FBDUMP NETWORK WORKDIR    NETWORK: default or patch
set -u
FBEMU=$1 FBDUMP=$2 NETWORK=$3 WORK=$4
HERE=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$WORK"
fail() {
    echo "render $NETWORK: $*"
    exit 1
}

set -- --state "$WORK/state.json" --fresh
case $NETWORK in
default)
    blocks=7 connections=8
    names='osc1
(sine_osc)
mix
in4
split
out2
speaker
(audio_out)' ;;
patch)
    set -- "$@" --catalog "$HERE/networks/patch.json"
    blocks=4 connections=5
    names='odd&quot;block|{x}&lt;y&gt;\z
(odd|factory {x})
in 1
&lt;in2&gt;
out\x
o&quot;q
src1
(source)' ;;
*) fail "unknown network" ;;
esac

"$FBEMU" "$@" run -- "$FBDUMP" --dot >"$WORK/network.dot" || fail "fbdump failed"
dot -Tsvg "$WORK/network.dot" >"$WORK/network.svg" 2>"$WORK/dot.err" || fail "dot failed: $(cat "$WORK/dot.err")"
[ -s "$WORK/dot.err" ] && fail "dot complained: $(cat "$WORK/dot.err")"

drawn() { grep -c "^<g id=\"$1[0-9]*\" class=\"$1\">" "$WORK/network.svg"; }
[ "$(drawn node)" = "$blocks" ] || fail "$(drawn node) nodes drawn, $blocks expected"
[ "$(drawn edge)" = "$connections" ] || fail "$(drawn edge) edges drawn, $connections expected"
echo "$names" | while IFS= read -r name; do
    grep -qF ">$name</text>" "$WORK/network.svg" || fail "no text '$name' in $WORK/network.svg"
done || exit 1
