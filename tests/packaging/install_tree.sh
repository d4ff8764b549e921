#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build into a temporary prefix, moves the installed tree
# elsewhere, and builds a program against it with the CMake package and with
# pkg-config; runs both without a device and under the installed emulator.
#   install_tree.sh BUILD CONSUMER WORK LIBDIR VERSION EMULATOR CXX CXXFLAGS LDFLAGS
set -u
BUILD=$1 CONSUMER=$2 WORK=$3 LIBDIR=$4 VERSION=$5 EMULATOR=$6 CXX=$7 CXXFLAGS=$8 LDFLAGS=$9
. "$(dirname "$0")/checks.sh"
STEP_LOG=$WORK/step.log

rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
quietly cmake --install "$BUILD" --prefix "$WORK/installed" || exit 1
mv "$WORK/installed" "$WORK/prefix"
PREFIX=$WORK/prefix

# No installed text file may lead back into the build tree.
build_refs=$(grep -rlI -F "$(cd "$BUILD" && pwd)" "$PREFIX")
[ -z "$build_refs" ] || fail "refer to the build tree: $build_refs"
for library in libtarn-fb libtarn-fb-network; do
    soname=$(readelf -d "$PREFIX/$LIBDIR/$library.so.$VERSION" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')
    [ "$soname" = "$library.so.1" ] || fail "SONAME of $library.so.$VERSION: '$soname'"
done

# With the CMake package.
if quietly cmake -S "$CONSUMER" -B "$WORK/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_CXX_FLAGS="$CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS"; then
    package_dir=$(sed -n 's/^TarnFb_DIR:PATH=//p' "$WORK/cmake/CMakeCache.txt")
    [ "$package_dir" = "$PREFIX/$LIBDIR/cmake/TarnFb" ] || fail "TarnFb found in '$package_dir'"
    quietly cmake --build "$WORK/cmake"
fi

# With pkg-config, which sees only the installed tree.
PKG_CONFIG_LIBDIR=$PREFIX/$LIBDIR/pkgconfig
export PKG_CONFIG_LIBDIR
for pc in tarn-fb tarn-fb-network; do
    pc_version=$(pkg-config --modversion $pc)
    [ "$pc_version" = "$VERSION" ] || fail "pkg-config version of $pc '$pc_version'"
done
# shellcheck disable=SC2046,SC2086
quietly "$CXX" -std=c++17 $CXXFLAGS $(pkg-config --cflags tarn-fb-network) "$CONSUMER/consumer.cpp" \
    -o "$WORK/pkg-config-consumer" $LDFLAGS $(pkg-config --libs tarn-fb-network)

LD_LIBRARY_PATH=$PREFIX/$LIBDIR
export LD_LIBRARY_PATH
for program in "$WORK/cmake/consumer" "$WORK/pkg-config-consumer"; do
    [ -x "$program" ] || continue
    if [ ! -e /dev/functionblocks ]; then
        out=$("$program" 2>&1)
        status=$?
        expected="fifo: pop<int> failed
device: error 0: driver(): could not open /dev/functionblocks"
        [ "$status" = 2 ] && [ "$out" = "$expected" ] ||
            fail "$program without a device: status $status, output:
$out"
    fi
    if [ "$EMULATOR" = ON ]; then
        out=$("$PREFIX/bin/fbemu" --state "$WORK/state.json" run -- "$program" 2>&1)
        status=$?
        case $out in
        *"factory sine_osc"*"network of "*" blocks"*) [ "$status" = 0 ] || fail "$program under fbemu: status $status" ;;
        *) fail "$program under the installed fbemu: status $status, output:
$out" ;;
        esac
    fi
done

finish
