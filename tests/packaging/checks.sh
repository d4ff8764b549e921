# SPDX-License-Identifier: MIT
# Sourced by the packaging checks: a failed check is counted and the script
# goes on, so that one run shows every failure.
failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}
# Runs a step whose output only matters when it fails (kept in $STEP_LOG).
quietly() {
    "$@" >"$STEP_LOG" 2>&1 || { cat "$STEP_LOG"; fail "$*"; return 1; }
}
# The count of failures, and the script's status.
finish() {
    echo "$failures failed"
    [ "$failures" -eq 0 ]
}
