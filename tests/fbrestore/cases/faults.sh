# SPDX-License-Identifier: MIT
# A device failure while the plan is applied: the message names the change
# that failed and the device's reason, the changes made are undone, and
# fbdump shows the network from before the run. The walk takes 28 exchanges
# (1 + 6 factories + 3 per block); the edits follow.
docs="$(dirname "$CASE")/../documents"
run run -- fbdump >"$WORK/before.json"
for fault in status@29 status@31 ioctl@33 corrupt@32 status-code@30; do
    echo "fault $fault:"
    run --fault "$fault" run -- fbrestore -q "$docs/edit.json"
    run run -- fbdump >"$WORK/after.json"
    cmp "$WORK/before.json" "$WORK/after.json" && echo "the device is as it was"
done
echo "fault truncate@29, the reply to create cut short:"
run --fault truncate@29 run -- fbrestore -q "$docs/edit.json"
