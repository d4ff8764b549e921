#!/bin/sh
# SPDX-License-Identifier: MIT
# A user who may not use the device: every front end, run against the
# emulator with a node file standing for /dev/functionblocks, says the cause
# and the fix in one line on standard error and exits with status 1, for a
# node without permission and for a locked-memory limit below the window.
# Run as root, the programs lose the capabilities that would let them past
# (opening any file, locking any amount of memory).
#   device_access.sh FBEMU WORK PATCHBAY FBDUMP FBRESTORE FBWEB [PYTHON TARNFB_DIR]
set -u
FBEMU=$1 WORK=$2 PATCHBAY=$3 FBDUMP=$4 FBRESTORE=$5 FBWEB=$6 PYTHON=${7:-} TARNFB_DIR=${8:-}
. "$(dirname "$0")/../packaging/checks.sh"
rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
export FBEMU_STATE="$WORK/state.json" FBEMU_NODE="$WORK/node"
: >"$FBEMU_NODE"
echo '{"factories": []}' >"$WORK/network.json"

unprivileged() {
    if [ "$(id -u)" = 0 ]; then
        setpriv --bounding-set=-dac_override,-dac_read_search,-fowner,-ipc_lock -- "$@"
    else
        "$@"
    fi
}
# tarnfb's line is DeviceError's text, printed as a tool would.
TARNFB_SCRIPT='
import sys, tarnfb
try:
    tarnfb.Device().factories()
except tarnfb.DeviceError as e:
    sys.exit("tarnfb: %s" % e)'
# Runs one front end against the emulator as the unprivileged user.
# patchbay's test session is fed a connect: its fixed error line goes to
# standard output, the cause and fix to standard error.
run_front_end() {
    case $1 in
    patchbay) unprivileged "$FBEMU" run -- "$PATCHBAY" -l fac ;;
    patchbay-test) printf '9\na\nb\nout\nin\n11\n' | unprivileged "$FBEMU" run -- "$PATCHBAY" -c test ;;
    fbdump) unprivileged "$FBEMU" run -- "$FBDUMP" ;;
    fbrestore) unprivileged "$FBEMU" run -- "$FBRESTORE" "$WORK/network.json" ;;
    fbweb) unprivileged timeout 20 "$FBEMU" run -- "$FBWEB" --listen 127.0.0.1:0 ;;
    tarnfb) PYTHONPATH=$TARNFB_DIR unprivileged "$FBEMU" run -- "$PYTHON" -c "$TARNFB_SCRIPT" ;;
    esac
}
front_ends="patchbay patchbay-test fbdump fbrestore fbweb"
[ -z "$PYTHON" ] || front_ends="$front_ends tarnfb"

# Expects of each front end exactly `line` (with its name) on standard error
# and status 1; `why` names the case.
expect_each() {
    why=$1 line=$2
    for name in $front_ends; do
        program=${name%-test}
        run_front_end "$name" >"$WORK/out" 2>"$WORK/err"
        status=$?
        expected="$program: $line"
        [ "$(cat "$WORK/err")" = "$expected" ] ||
            fail "$why: $name said: $(cat "$WORK/err") (expected: $expected)"
        case $name in
        patchbay-test) grep -qxF "fb_command: error ${line%%: [pl]*}" "$WORK/out" ||
            fail "$why: $name lost its fixed error line" ;;
        *) [ "$status" -eq 1 ] || fail "$why: $name exited with $status, not 1" ;;
        esac
    done
}

chmod 000 "$FBEMU_NODE"
expect_each "no permission on the node" \
    "driver(): could not open /dev/functionblocks: permission denied; join the functionblocks group (adduser USER functionblocks)"

chmod 600 "$FBEMU_NODE"
(
    ulimit -l 512 || exit 1
    expect_each "locked-memory limit 512 KiB" \
        "driver(): could not map /dev/functionblocks: locked-memory limit 512 KiB is below the 1024 KiB window; raise it (ulimit -l 1024, LimitMEMLOCK=1M or /etc/security/limits.d)"
    finish
) || failures=$((failures + 1))

# With both in order the same user gets the device (where the limit can be
# raised to the window).
if ulimit -l 1024 2>/dev/null || [ "$(ulimit -l)" = unlimited ]; then
    unprivileged "$FBEMU" run -- "$FBDUMP" >"$WORK/out" 2>"$WORK/err" ||
        fail "with permission and limit, fbdump failed: $(cat "$WORK/err")"
fi
finish
