#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the manual pages: mandoc has nothing to warn about, and they cover
# what the programs themselves say: every option and action word of
# patchbay's help, every usage message, every line of the test session's
# menu; every option and fault kind of fbemu's usage text.
#   check_man_pages.sh DOCS PATCHBAY [FBEMU]
set -u
DOCS=$1 PATCHBAY=$2 FBEMU=${3:-}
. "$(dirname "$0")/checks.sh"

pages="$DOCS/patchbay.1"
[ -z "$FBEMU" ] || pages="$pages $DOCS/fbemu.1"
for page in $pages; do
    lint=$(mandoc -T lint -W warning "$page" 2>&1) || fail "mandoc -T lint $page"
    [ -z "$lint" ] || fail "$lint"
done

# The rendered page, one line of text per line, without indentation.
text() {
    mandoc -T ascii "$DOCS/$1" | sed 's/.\x08//g; s/^ *//' >"$2"
}
# has_line PAGE LINE: the page shows LINE as a line of its own.
has_line() {
    grep -qxF -- "$2" "$1" || fail "$(basename "$1" .txt) lacks the line: $2"
}
# has_entry PAGE WORD: the page has an entry for WORD (a line starting with it).
has_entry() {
    grep -qE -- "^$2( |,|\$)" "$1" || fail "$(basename "$1" .txt) has no entry for $2"
}

WORK=$(mktemp -d) || exit 1
trap 'rm -rf "$WORK"' EXIT
text patchbay.1 "$WORK/patchbay.txt"

# Option and action words: the help's lines that hold one word.
for word in $("$PATCHBAY" -h | sed -n 's/^\t\t\([a-z-]*\)$/\1/p'); do
    has_entry "$WORK/patchbay.txt" "$word"
done
"$PATCHBAY" -c test </dev/null | grep -E '^[0-9]+ : ' >"$WORK/menu" || fail "no menu from $PATCHBAY"
while IFS= read -r line; do
    has_line "$WORK/patchbay.txt" "$line"
done <"$WORK/menu"
for args in '' '--help' '-l' '-c word' '-l fac extra' '-l fb' '-l prop' '-l out'; do
    # shellcheck disable=SC2086
    "$PATCHBAY" $args | sed -n '/^patchbay: argc = /,/^patchbay finished$/p' | sed '1d;$d' >"$WORK/message"
    [ -s "$WORK/message" ] || fail "no message for 'patchbay $args'"
    while IFS= read -r line; do
        has_line "$WORK/patchbay.txt" "$line"
    done <"$WORK/message"
done

if [ -n "$FBEMU" ]; then
    text fbemu.1 "$WORK/fbemu.txt"
    "$FBEMU" --help >"$WORK/usage"
    for option in $(grep -oE -- '^ *--[a-z]+' "$WORK/usage"); do
        has_entry "$WORK/fbemu.txt" "$option"
    done
    kinds=$(sed -n '/KIND is one of/,/^ *--help/p' "$WORK/usage" | sed '1s/.*KIND is one of//; /^ *--help/d' | tr ', ' '\n\n')
    [ -n "$kinds" ] || fail "no fault kinds in fbemu --help"
    for kind in $kinds; do
        has_entry "$WORK/fbemu.txt" "$kind"
    done
fi

finish
