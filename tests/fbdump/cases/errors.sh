# SPDX-License-Identifier: MIT
# Device failures anywhere in the walk: status 1, one line on standard error
# and nothing on standard output.
patch="$(dirname "$CASE")/../networks/patch.json"
for fault in ioctl@1 status@3 status-bare@4 status-code@5 truncate@6 corrupt@7 cursor@12; do
    echo "fault $fault:"
    run --catalog "$patch" --fault "$fault" run -- fbdump
done
echo "fault status@3, graph:"
run --fault status@3 run -- fbdump --dot
run run -- fbdump --factory sine_osc --factory no_such_factory
