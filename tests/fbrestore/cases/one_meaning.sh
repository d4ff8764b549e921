# SPDX-License-Identifier: MIT
# Hostile and ambiguous documents: nesting beyond the limit, a key given
# twice, a connection the two sides disagree on and an enum as a float are
# refused the same whatever the device holds; --check counts a kept block as
# a difference. fbdump shows the same network at the end.
cd "$WORK" || exit 1
run run -- fbdump >before.json
plan() {
    printf '%s\n' "$1" >doc.json
    run run -- fbrestore -n doc.json
}
# A property value of biquad_filter's lowpass inside N arrays.
nested() {
    awk -v n="$1" 'BEGIN {
        printf "{\"factories\": [{\"name\": \"biquad_filter\", \"blocks\": [{\"name\": \"lowpass\", "
        printf "\"properties\": [{\"name\": \"cutoff\", \"value\": "
        for (i = 0; i < n; i++) printf "["
        printf "1"
        for (i = 0; i < n; i++) printf "]"
        printf "}]}]}]}\n"
    }' >doc.json
    run run -- fbrestore -n doc.json
}
echo "== nesting: at the limit read, beyond it refused, far beyond no crash"
nested 25
nested 26
nested 20000
echo "== a key given twice"
plan '{"factories": [{"name": "mixer", "blocks": [{"name": "mix", "properties": [{"name": "channels", "value": 7, "value": 9}]}]}]}'
plan '{"factories": [{"name": "mixer", "blocks": []}], "factories": []}'
echo "== the two sides of a connection disagree"
plan '{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1", "outputs": [{"name": "out", "connections": ["mix.in1"]}]}]},
  {"name": "mixer", "blocks": [{"name": "mix", "inputs": [{"name": "in1", "connections": []}]}]}]}'
plan '{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1", "outputs": [{"name": "out", "connections": []}]}]},
  {"name": "mixer", "blocks": [{"name": "mix", "inputs": [{"name": "in1", "connections": ["osc1.out"]}]}]}]}'
echo "== both sides agree, or one side only: read"
plan '{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1", "outputs": [{"name": "out", "connections": ["mix.in1"]}]}]},
  {"name": "mixer", "blocks": [{"name": "mix", "inputs": [{"name": "in1", "connections": ["osc1.out"]}]}]}]}'
plan '{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1", "outputs": [{"name": "out", "connections": ["mix.in1"]}]}]},
  {"name": "mixer", "blocks": [{"name": "mix"}]}]}'
echo "== an enum: a float refused whether or not the device holds its index"
osc() { plan '{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1", "properties": [{"name": "waveform", "value": '"$1"'}]}]}]}'; }
osc 0.0
osc 1.0
osc 0
osc '{"index": 2}'
osc '"square"'
echo "== --check: a kept block is a difference"
printf '%s\n' '{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1"}]}]}' >part.json
run run -- fbrestore --check part.json
run run -- fbrestore --check -q part.json
run run -- fbrestore part.json
run run -- fbdump >after.json
cmp before.json after.json && echo "the device is untouched"
