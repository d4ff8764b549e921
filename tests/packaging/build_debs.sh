#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the Debian packages of a build with cpack into WORK/out and links
# each as WORK/<package>.deb for the package checks.
#   build_debs.sh CPACK_CONFIG WORK
set -u
CONFIG=$1 WORK=$2
rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
if ! cpack -G DEB --config "$CONFIG" -B "$WORK/out" >"$WORK/cpack.log" 2>&1; then
    cat "$WORK/cpack.log"
    exit 1
fi
for deb in "$WORK"/out/*.deb; do
    ln -s "$deb" "$WORK/$(dpkg-deb -f "$deb" Package).deb" || exit 1
done
