# Save, edit by hand, restore: fbdump then shows the edited network; a second
# run has nothing to do; the saved document brings back every value and
# connection (the new block stays: the device destroys by ticket only).
docs="$(dirname "$CASE")/../documents"
run run -- fbdump >"$WORK/saved.json"
run run -- fbrestore --check "$docs/edit.json"
run run -- fbrestore "$docs/edit.json"
run run -- fbdump --factory sine_osc --factory biquad_filter
run run -- fbrestore "$docs/edit.json"
run run -- fbrestore -q --check "$docs/edit.json"
echo "back to the saved network:"
run run -- fbrestore --exact - <"$WORK/saved.json"
run run -- fbrestore --exact --check - <"$WORK/saved.json"
