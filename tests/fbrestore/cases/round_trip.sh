# SPDX-License-Identifier: MIT
# Save, edit by hand, restore: fbdump then shows the edited network; a second
# run has nothing to do; the saved document brings back every value and
# connection, and --exact destroys the new block (its ticket was recorded
# when fbrestore created it).
docs="$(dirname "$CASE")/../documents"
run run -- fbdump >"$WORK/saved.json"
run run -- fbrestore --check "$docs/edit.json"
run run -- fbrestore "$docs/edit.json"
run run -- fbdump --factory sine_osc --factory biquad_filter
# The second run reads the 31 values of the walk and sends nothing more: a
# fault at the 32nd exchange never fires.
run --fault ioctl@32 run -- fbrestore "$docs/edit.json"
run run -- fbrestore -q --check "$docs/edit.json"
echo "back to the saved network:"
run run -- fbrestore --exact - <"$WORK/saved.json"
run run -- fbrestore --exact --check - <"$WORK/saved.json"
echo "a network with every property type and odd names, saved and restored:"
patch="$(dirname "$CASE")/../../fbdump/networks/patch.json"
run --fresh --catalog "$patch" run -- fbdump >"$WORK/patch.json"
run --catalog "$patch" run -- fbrestore --exact "$WORK/patch.json"
sed 's/"zeta"/"eta"/' "$WORK/patch.json" >"$WORK/patch-object.json"
run --catalog "$patch" run -- fbrestore "$WORK/patch-object.json"
echo "names, choices and text with blanks, quotes and line ends stay one field each:"
run --catalog "$patch" run -- fbrestore --exact --check "$docs/odd_names.json"
run --catalog "$patch" run -- fbrestore -q --exact "$docs/odd_names.json"
run --catalog "$patch" run -- fbrestore --exact --check "$docs/odd_names.json"
