#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs one transcript case against the emulator and compares its transcript
# byte for byte with the expected file.
#   run_case.sh FBEMU PATCHBAY_DIR CASE.sh EXPECTED WORKDIR
# The case script calls `pb ARGS...` to run patchbay (fresh device state at
# the start of each case), `pbf FAULT ARGS...` to run it with an injected
# device fault, `pb_nodev ARGS...` to run it without any device, and may set CATALOG=<file in tests/e2e/networks> before its
# first call. Each run's standard output goes into the transcript as it is;
# its standard error follows, each line prefixed "stderr: ", then "status: N"
# when the exit status is not 0. With UPDATE=1 the expected file is rewritten.
set -u
FBEMU=$1 PATCHBAY_DIR=$2 CASE=$3 EXPECTED=$4 WORK=$5
NETWORKS=$(cd "$(dirname "$0")/networks" && pwd)
mkdir -p "$WORK"
STATE="$WORK/state.json"
rm -f "$STATE" "$STATE.lock" "$STATE.tickets"
PATH="$PATCHBAY_DIR:$PATH"
CATALOG=""

# Runs a command; its standard error and a failing status join the transcript.
capture() {
    err="$WORK/stderr"
    "$@" 2>"$err"
    status=$?
    sed 's/^/stderr: /' "$err"
    [ "$status" -eq 0 ] || echo "status: $status"
    return 0
}
run() {
    if [ -n "$CATALOG" ]; then
        set -- --catalog "$NETWORKS/$CATALOG" "$@"
    fi
    capture "$FBEMU" --state "$STATE" "$@"
}
pb() { run run -- patchbay "$@"; }
pbf() { fault=$1; shift; run --fault "$fault" run -- patchbay "$@"; }
# patchbay without the emulator, on a machine without the device node
# (an armhf build runs under qemu-arm).
pb_nodev() {
    prog=$(command -v patchbay)
    if [ "$(od -An -tx1 -j18 -N1 "$prog" | tr -d ' ')" = 28 ]; then
        capture qemu-arm-static -L /usr/arm-linux-gnueabihf -0 patchbay "$prog" "$@"
    else
        capture patchbay "$@"
    fi
}

actual="$WORK/transcript"
( . "$CASE" ) >"$actual" 2>&1
if [ "${UPDATE:-0}" = 1 ]; then
    cp "$actual" "$EXPECTED"
    exit 0
fi
if cmp -s "$actual" "$EXPECTED"; then exit 0; fi
echo "transcript differs from $EXPECTED:"
diff "$EXPECTED" "$actual" | cat -A | head -n 60
exit 1
