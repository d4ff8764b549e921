#!/bin/sh
# SPDX-License-Identifier: MIT
# Prints the stripped size of each FILE (stripped copies; the build is left
# as it is) and their total, and fails when the total exceeds BUDGET bytes
# ("-" for no budget): the tool and its library must fit a board's flash.
#   size_budget.sh STRIP BUDGET FILE...
set -u
STRIP=$1 BUDGET=$2
shift 2
. "$(dirname "$0")/checks.sh"
copy=$(mktemp) || exit 1
trap 'rm -f "$copy"' EXIT

total=0
for file in "$@"; do
    if "$STRIP" -o "$copy" "$file"; then
        size=$(wc -c <"$copy")
        printf '%9d  %s\n' "$size" "$(basename "$file")"
        total=$((total + size))
    else
        fail "cannot strip $file"
    fi
done
printf '%9d  total\n' "$total"
if [ "$BUDGET" != - ] && [ "$total" -gt "$BUDGET" ]; then
    fail "$total bytes stripped, over the budget of $BUDGET bytes by $((total - BUDGET))"
fi

finish
