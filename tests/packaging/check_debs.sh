#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the Debian packages that build_debs.sh left in WORK with dpkg-deb:
# names, control fields, the files each carries (libraries in the multiarch
# directory, a manual page for every program), and that the Depends of each
# package cover what its binaries need: every shared library they load, at
# least at the version of the newest symbol they use.
#   check_debs.sh WORK ARCH VERSION PACKAGE...
set -u
WORK=$1 ARCH=$2 VERSION=$3
shift 3
EXPECTED_PACKAGES=$*
HERE=$(cd "$(dirname "$0")" && pwd)
. "$(dirname "$0")/checks.sh"

# Libraries belong in the architecture's multiarch directory.
LIBDIR=lib/$(dpkg-architecture -a"$ARCH" -qDEB_HOST_MULTIARCH 2>/dev/null) || exit 1
rm -rf "$WORK/root" "$WORK"/*.files "$WORK/binaries"

# The packages built, by name.
packages=""
for deb in "$WORK"/*.deb; do
    packages="$packages $(basename "$deb" .deb)"
done
[ "$(echo $packages | tr ' ' '\n' | sort)" = "$(echo $EXPECTED_PACKAGES | tr ' ' '\n' | sort)" ] ||
    fail "packages built:$packages; expected: $EXPECTED_PACKAGES"

# Files every package must carry (besides directories).
expected_files() {
    case $1 in
    patchbay) echo usr/bin/patchbay usr/bin/fbdump usr/bin/fbrestore usr/share/man/man1/patchbay.1.gz \
        usr/share/man/man1/fbdump.1.gz usr/share/man/man1/fbrestore.1.gz \
        usr/share/bash-completion/completions/patchbay usr/share/bash-completion/completions/fbdump \
        usr/share/bash-completion/completions/fbrestore usr/lib/systemd/system/fbrestore.service \
        usr/lib/udev/rules.d/60-functionblocks.rules usr/lib/sysusers.d/functionblocks.conf \
        etc/security/limits.d/functionblocks.conf ;;
    libtarn-fb1) echo "usr/$LIBDIR/libtarn-fb.so.1" "usr/$LIBDIR/libtarn-fb.so.$VERSION" ;;
    libtarn-fb-network1) echo "usr/$LIBDIR/libtarn-fb-network.so.1" "usr/$LIBDIR/libtarn-fb-network.so.$VERSION" ;;
    libtarn1) echo "usr/$LIBDIR/libtarn.so.1" ;;
    libtarn-fb-dev) echo usr/include/tarn/exception.hpp usr/include/tarn/fb/driver.hpp \
        usr/include/tarn/fb/fifo.hpp usr/include/tarn/fb/network.hpp usr/include/tarn/fb/typed_write.hpp \
        "usr/$LIBDIR/libtarn-fb.so" "usr/$LIBDIR/libtarn-fb-network.so" "usr/$LIBDIR/pkgconfig/tarn-fb-network.pc" \
        "usr/$LIBDIR/cmake/TarnFb/TarnFbConfig.cmake" "usr/$LIBDIR/cmake/TarnFb/TarnFbConfigVersion.cmake" \
        "usr/$LIBDIR/cmake/TarnFb/TarnFbTargets.cmake" "usr/$LIBDIR/pkgconfig/tarn-fb.pc" ;;
    patchbay-emulator) echo usr/bin/fbemu "usr/$LIBDIR/fbemu/libfbemu-shim.so" \
        usr/share/man/man1/fbemu.1.gz ;;
    fbweb) echo usr/bin/fbweb usr/share/man/man1/fbweb.1.gz usr/share/bash-completion/completions/fbweb \
        usr/lib/systemd/system/fbweb.service usr/share/doc/fbweb/examples/patchbay-alerts.yml ;;
    python3-tarnfb) echo usr/lib/python3/dist-packages/tarnfb/__init__.py \
        usr/lib/python3/dist-packages/tarnfb/__init__.pyi usr/lib/python3/dist-packages/tarnfb/py.typed ;;
    esac
}
# Libraries and their development files can be installed for several
# architectures at once; the tools serve programs of any architecture.
expected_multi_arch() {
    case $1 in
    libtarn-fb1 | libtarn-fb-network1 | libtarn1 | libtarn-fb-dev) echo same ;;
    patchbay | fbweb) echo foreign ;;
    *) echo no ;;
    esac
}
case $ARCH in
armhf) machine=ARM ;;
amd64) machine="Advanced Micro Devices X86-64" ;;
*) machine="" ;;
esac

for name in $packages; do
    deb=$WORK/$name.deb
    for field in Architecture:$ARCH "Version:$VERSION-1" Priority:optional \
        "Multi-Arch:$(expected_multi_arch "$name")"; do
        value=$(dpkg-deb -f "$deb" "${field%%:*}")
        [ "$value" = "${field#*:}" ] || fail "$name: ${field%%:*} is '$value'"
    done
    for field in Maintainer Description Section; do
        [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "$name: no $field"
    done
    dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' >"$WORK/$name.files"
    for file in $(expected_files "$name"); do
        grep -qxF "$file" "$WORK/$name.files" || fail "$name lacks $file"
    done
    for program in $(sed -n 's|^usr/s\{0,1\}bin/||p' "$WORK/$name.files"); do
        grep -qE "^usr/share/man/man[18]/$program\.[18]\.gz\$" "$WORK/$name.files" ||
            fail "$name: no manual page for $program"
    done

    # The binaries: built for the architecture, stripped, their needs met.
    mkdir -p "$WORK/root/$name" && dpkg-deb -x "$deb" "$WORK/root/$name" || fail "$name: cannot unpack"
    depends=$(dpkg-deb -f "$deb" Depends)
    while IFS= read -r file; do
        path=$WORK/root/$name/$file
        [ -f "$path" ] && [ ! -L "$path" ] && readelf -h "$path" >/dev/null 2>&1 || continue
        [ -z "$machine" ] || readelf -h "$path" | grep -q "Machine: *$machine\$" ||
            fail "$name: $file is not built for $ARCH"
        ! readelf -S -W "$path" | grep -q '\.symtab' || fail "$name: $file is not stripped"
        problems=$(sh "$HERE/elf_needs.sh" "$path" "$name" "$depends" "$WORK/$name.files" | paste -s -d ";" -)
        [ -z "$problems" ] || fail "$name: $file: $problems"
        echo "$file" >>"$WORK/binaries"
    done <"$WORK/$name.files"
done

[ -s "$WORK/binaries" ] || fail "no binaries found in the packages"

# The device without root: the group made at configure time (and by
# systemd-sysusers), the node given to it, its members' locked-memory limit.
if [ -d "$WORK/root/patchbay" ]; then
    root=$WORK/root/patchbay
    for name in patchbay fbweb; do
        [ -e "$WORK/$name.deb" ] || continue
        rm -rf "$WORK/control" && mkdir -p "$WORK/control" && dpkg-deb -e "$WORK/$name.deb" "$WORK/control" ||
            fail "$name: no control files"
        grep -q '^ *addgroup --system --quiet functionblocks$' "$WORK/control/postinst" ||
            fail "$name: postinst does not make the functionblocks group"
        dpkg-deb -f "$WORK/$name.deb" Depends | grep -q 'adduser' || fail "$name: postinst needs adduser"
    done
    rm -rf "$WORK/control" && mkdir -p "$WORK/control" && dpkg-deb -e "$WORK/patchbay.deb" "$WORK/control"
    # fbrestore.service is enabled at install, and masked again on removal.
    grep -q "deb-systemd-helper enable 'fbrestore.service'" "$WORK/control/postinst" &&
        grep -q "deb-systemd-helper mask 'fbrestore.service'" "$WORK/control/postrm" ||
        fail "patchbay: fbrestore.service is not enabled at install and masked at removal"
    grep -qxF /etc/security/limits.d/functionblocks.conf "$WORK/control/conffiles" ||
        fail "patchbay: the limits snippet is not a conffile"
    grep -qE '^KERNEL=="functionblocks",.*GROUP="functionblocks", MODE="0660"' \
        "$root/usr/lib/udev/rules.d/60-functionblocks.rules" || fail "patchbay: udev rule does not give the node to the group"
    grep -qxE 'g +functionblocks +-' "$root/usr/lib/sysusers.d/functionblocks.conf" ||
        fail "patchbay: sysusers.d does not declare the group"
    grep -qxE '@functionblocks +- +memlock +1024' "$root/etc/security/limits.d/functionblocks.conf" ||
        fail "patchbay: limits.d does not give the group the window's locked memory"
fi

# The layers: the tool loads the client library and no network library; the
# network library goes with exactly the client library of its build, and
# defines no symbol that the client library defines too.
tool=$WORK/root/patchbay/usr/bin/patchbay
if [ -f "$tool" ]; then
    needed=$(readelf -d "$tool" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
    echo "$needed" | grep -qx libtarn-fb.so.1 || fail "patchbay does not load libtarn-fb.so.1"
    ! echo "$needed" | grep -q network || fail "patchbay loads a network library: $needed"
fi
network=$WORK/root/libtarn-fb-network1/usr/$LIBDIR/libtarn-fb-network.so.1
core=$WORK/root/libtarn-fb1/usr/$LIBDIR/libtarn-fb.so.1
if [ -f "$network" ] && [ -f "$core" ]; then
    depends=$(dpkg-deb -f "$WORK/libtarn-fb-network1.deb" Depends)
    echo "$depends" | tr ',' '\n' | grep -qx " *libtarn-fb1 (= $VERSION-1)" ||
        fail "libtarn-fb-network1 does not depend on libtarn-fb1 (= $VERSION-1): $depends"
    defined() { nm -D --defined-only "$1" | awk '{ print $3 }' | sort -u; }
    defined "$network" >"$WORK/network.symbols" && defined "$core" >"$WORK/core.symbols"
    [ -s "$WORK/network.symbols" ] || fail "libtarn-fb-network exports nothing"
    twice=$(comm -12 "$WORK/network.symbols" "$WORK/core.symbols" | c++filt | paste -s -d ";" -)
    [ -z "$twice" ] || fail "defined by both libraries: $twice"
fi

# dpkg refuses to install two packages that carry the same file.
shared=$(cat "$WORK"/*.files | sort | uniq -d)
[ -z "$shared" ] || fail "in more than one package: $shared"

finish
