#!/bin/bash
# SPDX-License-Identifier: MIT
# Checks that the manual page and the bash completion of each program keep up
# with its --help: the page is lint-clean and has an entry for every option
# the help names, and the completion offers every option after "-".
#   check_program_docs.sh DOCS COMPLETIONS PROGRAM...
set -u
DOCS=$1 COMPLETIONS=$2
shift 2
. "$(dirname "$0")/checks.sh"

for program in "$@"; do
    name=$(basename "$program")
    page=$DOCS/$name.1
    # The options the help lists: lines that start with one, up to the text.
    options=$("$program" --help | sed -n 's/^ *\(-[^ ].*\)/\1/p' | sed 's/   .*//' |
        grep -oE -- '--?[a-zA-Z][a-z-]*' | sort -u)
    [ -n "$options" ] || fail "$name --help names no option"

    if [ -f "$page" ]; then
        lint=$(mandoc -T lint -W warning "$page" 2>&1) || fail "mandoc -T lint $page"
        [ -z "$lint" ] || fail "$lint"
        text=$(mandoc -T ascii "$page" | sed 's/.\x08//g; s/^ *//')
        for option in $options; do
            grep -qE -- "(^|, )$option( |,|=|\$)" <<<"$text" || fail "$name.1 has no entry for $option"
        done
    else
        fail "no manual page $page"
    fi

    completion=$COMPLETIONS/$name
    if [ -f "$completion" ]; then
        # shellcheck source=/dev/null
        . "$completion"
        function=$(complete -p "$name" 2>/dev/null | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
        [ -n "$function" ] || fail "$completion registers no function for $name"
        COMP_WORDS=("$name" -) COMP_CWORD=1 COMPREPLY=()
        [ -z "$function" ] || "$function" "$name" - "$name"
        for option in $options; do
            printf '%s\n' "${COMPREPLY[@]}" | grep -qxF -- "$option" || fail "completion of $name lacks $option"
        done
    else
        fail "no bash completion $completion"
    fi
done

finish
