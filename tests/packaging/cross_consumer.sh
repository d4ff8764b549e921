#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds a program of another project against the armhf development package
# as a cross build does: the packages unpacked into a sysroot that is added to
# the cross toolchain's find roots (CMake package) or searched by pkg-config
# alone; both programs then run from the sysroot under qemu-arm with the
# emulated device's shim preloaded.
#   cross_consumer.sh WORK CONSUMER TOOLCHAIN_FILE CXX QEMU RUNTIME_ROOT SHIM
set -u
WORK=$(cd "$1" && pwd) CONSUMER=$2 TOOLCHAIN=$3 CXX=$4 QEMU=$5 RUNTIME_ROOT=$6 SHIM=$7
ROOT=$WORK/sysroot
OUT=$WORK/cross-consumer
. "$(dirname "$0")/checks.sh"
STEP_LOG=$OUT/step.log

rm -rf "$ROOT" "$OUT" && mkdir -p "$ROOT/lib" "$OUT" || exit 1
for package in libtarn-fb-dev libtarn-fb1 libtarn-fb-network1 libtarn1; do
    [ ! -e "$WORK/$package.deb" ] || dpkg-deb -x "$WORK/$package.deb" "$ROOT" || fail "$package: cannot unpack"
done
ln -s "$RUNTIME_ROOT/lib/ld-linux-armhf.so.3" "$ROOT/lib/ld-linux-armhf.so.3" &&
    ln -s "$RUNTIME_ROOT/lib" "$ROOT/lib/arm-linux-gnueabihf" || exit 1
multiarch=$(dpkg-architecture -aarmhf -qDEB_HOST_MULTIARCH 2>/dev/null)

# CMake: the project's toolchain file with the sysroot as one more find root.
cat >"$OUT/toolchain.cmake" <<TEXT
include($TOOLCHAIN)
list(APPEND CMAKE_FIND_ROOT_PATH $ROOT)
TEXT
if quietly cmake -S "$CONSUMER" -B "$OUT/cmake" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$OUT/toolchain.cmake" \
    -DBoost_NO_BOOST_CMAKE=ON -DBoost_INCLUDE_DIR=/usr/include; then
    package_dir=$(sed -n 's/^TarnFb_DIR:PATH=//p' "$OUT/cmake/CMakeCache.txt")
    [ "$package_dir" = "$ROOT/usr/lib/$multiarch/cmake/TarnFb" ] || fail "TarnFb found in '$package_dir'"
    quietly cmake --build "$OUT/cmake"
fi

# pkg-config, searching the sysroot's multiarch directory only.
PKG_CONFIG_LIBDIR=$ROOT/usr/lib/$multiarch/pkgconfig
export PKG_CONFIG_LIBDIR
# shellcheck disable=SC2046
quietly "$CXX" -std=c++17 $(pkg-config --cflags tarn-fb-network) "$CONSUMER/consumer.cpp" \
    -o "$OUT/pkg-config-consumer" $(pkg-config --libs tarn-fb-network)

for program in "$OUT/cmake/consumer" "$OUT/pkg-config-consumer"; do
    [ -x "$program" ] || continue
    out=$(LD_PRELOAD=$SHIM FBEMU_STATE=$OUT/state.json "$QEMU" -L "$ROOT" "$program" 2>&1)
    status=$?
    case $status:$out in
    0:*"factory sine_osc"*"network of "*" blocks"*) ;;
    *) fail "$program: status $status, output:
$out" ;;
    esac
done

finish
