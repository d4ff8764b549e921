#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the armhf packages in WORK as a board would (the tools' package and
# the packages it depends on, unpacked into a scratch root whose C and C++
# runtimes are the cross toolchain's) and runs the installed programs from
# there under qemu-arm, with the emulated device's shim preloaded: every
# program must find its libraries through the dynamic linker's own search, and
# patchbay, fbdump and fbrestore (when packaged) must work the device.
#   board_install.sh WORK QEMU RUNTIME_ROOT SHIM
set -u
WORK=$1 QEMU=$2 RUNTIME_ROOT=$3 SHIM=$4
ROOT=$WORK/board
STATE=$WORK/board-state.json
. "$(dirname "$0")/checks.sh"

# patchbay and, transitively, those of its Depends that were built here.
rm -rf "$ROOT" "$STATE" && mkdir -p "$ROOT/lib" || exit 1
pending=patchbay installed=""
while [ -n "$pending" ]; do
    set -- $pending
    package=$1
    shift
    pending=$*
    case " $installed " in *" $package "*) continue ;; esac
    [ -e "$WORK/$package.deb" ] || continue
    dpkg-deb -x "$WORK/$package.deb" "$ROOT" || fail "$package: cannot unpack"
    installed="$installed $package"
    pending="$pending $(dpkg-deb -f "$WORK/$package.deb" Depends | tr ',' '\n' | awk '{ print $1 }')"
done
echo "installed:$installed"

# The board's base system: its dynamic linker and runtimes in /lib.
ln -s "$RUNTIME_ROOT/lib/ld-linux-armhf.so.3" "$ROOT/lib/ld-linux-armhf.so.3" &&
    ln -s "$RUNTIME_ROOT/lib" "$ROOT/lib/arm-linux-gnueabihf" || exit 1

# Runs an installed program as the board would: qemu resolves the program's
# absolute paths in ROOT first; the shim stands in for /dev/functionblocks.
on_board() {
    program=$1
    shift
    LD_PRELOAD=$SHIM FBEMU_STATE=$STATE "$QEMU" -L "$ROOT" -0 "/usr/bin/$program" "$ROOT/usr/bin/$program" "$@"
}

# Every installed program loads, with no library missing.
for path in "$ROOT"/usr/bin/*; do
    program=$(basename "$path")
    libraries=$(LD_TRACE_LOADED_OBJECTS=1 "$QEMU" -L "$ROOT" "$path" 2>&1)
    case $libraries in
    *"not found"* | "") fail "$program does not load:
$libraries" ;;
    esac
done

out=$(on_board patchbay -l fac 2>&1)
status=$?
case $status:$out in
0:*"sine_osc"*"patchbay finished"*) ;;
*) fail "patchbay -l fac: status $status, output:
$out" ;;
esac

on_board fbdump >"$WORK/board-network.json" 2>"$WORK/board-fbdump.err"
status=$?
[ "$status" = 0 ] && grep -q '"name": "sine_osc"' "$WORK/board-network.json" ||
    fail "fbdump: status $status, $(cat "$WORK/board-fbdump.err")"

# fbrestore: the network fbdump just saved is the one on the device.
if [ -e "$ROOT/usr/bin/fbrestore" ]; then
    out=$(on_board fbrestore --check "$WORK/board-network.json" 2>&1)
    status=$?
    [ "$status" = 0 ] || fail "fbrestore --check of fbdump's document: status $status, output:
$out"
fi

finish
