# SPDX-License-Identifier: MIT
# Every injected device fault during each editing command of the test
# session, but for those session_faults.sh shows. A fault that replaces the
# reply leaves the device unchanged and fb_command reports the device error;
# a damaged reply (truncate, corrupt, cursor) comes after the command ran and
# is reported as the value that could not be read. Either way the menu comes
# back and the listing after it shows the device's state. Every run starts
# from the default network; "delete" first creates the block it deletes, so
# its fault is on the second ioctl. The menu is shown as "<menu>".
menu() { sed '/^Welcome to test mode/,/^11 : exit$/c\
<menu>'; }
# choice|input|fault position|listing after it
commands="create|6 gain g|1|2 gain
delete|6 gain g 7 g|2|2 gain
write|8 osc1 frequency float 330|1|3 osc1
connect|9 osc1 mix out in4|1|4 osc1
disconnect|10 osc1 mix out in1|1|4 osc1"
for fault in ioctl status status-bare status-code truncate corrupt cursor; do
    echo "$commands" | while IFS='|' read -r name input at after; do
        [ "$fault:$name" = "status:create" ] && continue
        [ "$fault:$name" = "status-code:write" ] && continue
        echo "== $fault during $name"
        rm -f "$STATE"
        printf '%s %s 11\n' "$input" "$after" | tr ' ' '\n' | pbf "$fault@$at" -c test | menu
    done
done
