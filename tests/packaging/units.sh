#!/bin/sh
# SPDX-License-Identifier: MIT
# The systemd units: systemd-analyze verify finds nothing to say about them,
# their exposure (systemd-analyze security, 0 to 10) stays at or below the
# goal, and they keep what they need to use the device unprivileged. verify
# runs in a root of its own: the host's units, these units, and a stand-in
# for each program they start.
#   units.sh WORK GOAL UNIT_FILE...
set -u
WORK=$1 GOAL=$2
shift 2
. "$(dirname "$0")/checks.sh"
if ! systemd-analyze --version >/dev/null 2>&1 || [ ! -d /usr/lib/systemd/system ]; then
    echo "SKIP systemd-analyze and the system's units are not installed (scripts/install-deps installs systemd)"
    exit 77
fi
rm -rf "$WORK" && mkdir -p "$WORK/root/usr/lib/systemd/system" || exit 1
STEP_LOG=$WORK/step.log
cp -R /usr/lib/systemd/system/. "$WORK/root/usr/lib/systemd/system/" || exit 1
names=""
for unit in "$@"; do
    cp "$unit" "$WORK/root/usr/lib/systemd/system/" || exit 1
    names="$names $(basename "$unit")"
    for program in $(sed -n 's/^ExecStart=[-@:+!]*\([^ ]*\).*/\1/p' "$unit"); do
        mkdir -p "$WORK/root$(dirname "$program")" &&
            printf '#!/bin/sh\n' >"$WORK/root$program" && chmod 755 "$WORK/root$program" || exit 1
    done
done

# verify reports unknown keys and bad values on standard error with status 0.
systemd-analyze verify --man=no --root="$WORK/root" $names >"$WORK/verify.log" 2>&1
status=$?
[ "$status" -eq 0 ] && [ ! -s "$WORK/verify.log" ] || { cat "$WORK/verify.log"; fail "verify (status $status)"; }

# The threshold is on the scale of 0 to 100.
threshold=$(echo "$GOAL" | awk '{ printf "%d", $1 * 10 + 0.5 }')
for unit in "$@"; do
    name=$(basename "$unit")
    systemd-analyze security --offline=yes --threshold="$threshold" "$unit" >"$WORK/$name.security" 2>&1
    status=$?
    grep '^→ Overall exposure' "$WORK/$name.security" || { cat "$WORK/$name.security"; fail "$name: no exposure rated"; }
    [ "$status" -eq 0 ] || { grep '^✗' "$WORK/$name.security"; fail "$name: exposure above $GOAL"; }
    for setting in DynamicUser=yes SupplementaryGroups=functionblocks "DeviceAllow=/dev/functionblocks rw" \
        LimitMEMLOCK=1M UMask=0077; do
        grep -qxF "$setting" "$unit" || fail "$name: no $setting"
    done
done
finish
