#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs lintian on the packages in WORK: any error or warning fails, and so
# does an override without a comment line giving its reason above it.
#   lintian.sh WORK
set -u
WORK=$1
failures=0

# Overrides: every tag line follows a comment.
for deb in "$WORK"/*.deb; do
    dpkg-deb --fsys-tarfile "$deb" | tar -xO --wildcards './usr/share/lintian/overrides/*' 2>/dev/null |
        awk -v deb="$(basename "$deb")" '
            /^#/ { reason = 1; next }
            /^[[:space:]]*$/ { reason = 0; next }
            !reason { print "FAIL " deb ": override without a reason: " $0; bad = 1 }
            { reason = 0 }
            END { exit bad }' || failures=$((failures + 1))
done

# --fail-on makes the exit status count errors and warnings only.
lintian --fail-on error,warning --tag-display-limit 0 "$WORK"/*.deb >"$WORK/lintian.log" 2>&1
status=$?
grep -v '^running with root privileges' "$WORK/lintian.log"
[ "$status" -eq 0 ] || { echo "FAIL lintian reports errors or warnings"; failures=$((failures + 1)); }
echo "$failures failed"
[ "$failures" -eq 0 ]
