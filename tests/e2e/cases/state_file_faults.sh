# SPDX-License-Identifier: MIT
# The emulated device's state file cut short, corrupted, unwritable, or in a
# directory that does not exist: every command names the file and the reason,
# a listing ends with status 1, the test session shows its menu again, and the
# file is left exactly as it was. Once the file is good again, so is the
# device. Paths are shown relative to the case's work directory ("<work>");
# the menu is shown as "<menu>".
menu() { sed -e "s|$WORK|<work>|g" -e 's/\.tmp\.[0-9]*/.tmp.<pid>/' -e '/^Welcome to test mode/,/^11 : exit$/c\
<menu>'; }
unchanged() { cmp -s "$STATE" "$WORK/before.json" && echo "state file unchanged" || echo "state file CHANGED"; }
try_commands() {
    pb -l fb gain | menu
    printf '6\ngain\ng2\n11\n' | pb -c test | menu
}

printf '6\ngain\nkeep\n11\n' | pb -c test >/dev/null
cp "$STATE" "$WORK/good.json"

echo "== cut short"
head -c 300 "$WORK/good.json" >"$STATE"
cp "$STATE" "$WORK/before.json"
try_commands
unchanged

echo "== not JSON"
printf 'garbage\000\377' >"$STATE"
cp "$STATE" "$WORK/before.json"
pb -l fac | menu
unchanged

echo "== JSON, but a block of an unknown factory"
sed 's/"factory": "gain"/"factory": "gian"/' "$WORK/good.json" >"$STATE"
cp "$STATE" "$WORK/before.json"
try_commands
unchanged

echo "== the lock file cannot be opened"
cp "$WORK/good.json" "$STATE"
cp "$STATE" "$WORK/before.json"
rm -f "$STATE.lock"
mkdir "$STATE.lock"
try_commands
unchanged
rmdir "$STATE.lock"

echo "== the state file cannot be written (file size limit)"
# Output goes to a pipe, which the limit does not restrict.
(trap '' XFSZ; ulimit -f 1; printf '6\ngain\ng2\n11\n' | pb -c test) | menu
unchanged
ls "$WORK" | grep -q '\.tmp\.' && echo "temporary file LEFT" || echo "no temporary file left"

echo "== the state directory does not exist"
good_state=$STATE
STATE=$WORK/missing/state.json
try_commands
[ -e "$WORK/missing" ] && echo "directory CREATED" || echo "no directory created"
STATE=$good_state

echo "== the good file again"
pb -l fb gain
