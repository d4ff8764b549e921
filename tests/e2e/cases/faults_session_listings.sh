# SPDX-License-Identifier: MIT
# Every injected device fault during each listing of the test session (the
# first ioctl of the run), but for those session_faults.sh shows: the error
# on one line, the menu again, and the same listing works right after.
# The menu is shown as "<menu>".
menu() { sed '/^Welcome to test mode/,/^11 : exit$/c\
<menu>'; }
for fault in ioctl status status-bare status-code truncate corrupt cursor; do
    for choice in "1" "2 sine_osc" "3 osc2" "4 osc2" "5 mix"; do
        [ "$fault:$choice" = "ioctl:1" ] && continue
        [ "$fault:$choice" = "truncate:4 osc2" ] && continue
        echo "== $fault during choice $choice"
        # Choice 1 is followed by a short listing; the others by themselves.
        again=$choice
        [ "$choice" = 1 ] && again="2 gain"
        printf '%s\n%s\n11\n' "$choice" "$again" | tr ' ' '\n' | pbf "$fault" -c test | menu
    done
done
