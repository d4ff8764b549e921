# SPDX-License-Identifier: MIT
# Every document the device cannot be brought to is refused before the
# first change: one message, status 1, and fbdump shows the same network.
cd "$WORK" || exit 1
run run -- fbdump >before.json
refuse() {
    printf '%s\n' "$1" >doc.json
    run run -- fbrestore doc.json
}
osc() { refuse '{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1", '"$1"'}]}]}'; }
new() { refuse '{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc9", '"$1"'}]}]}'; }
refuse '{"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1",
  "properties": [{"name": "frequency" "value": 1}]}]}]}'
refuse '{"factories": [{"name": "theremin", "blocks": []}]}'
osc '"properties": [{"name": "pitch", "value": 1}]'
osc '"properties": [{"name": "frequency", "type": "uint32", "value": 1}]'
osc '"properties": [{"name": "waveform", "value": "noise"}]'
osc '"properties": [{"name": "waveform", "value": 7}]'
refuse '{"factories": [{"name": "biquad_filter", "blocks": [{"name": "lowpass", "properties": [{"name": "order", "value": 300}]}]}]}'
refuse '{"factories": [{"name": "mixer", "blocks": [{"name": "mix", "properties": [{"name": "channels", "value": -1}]}]}]}'
refuse '{"factories": [{"name": "mixer", "blocks": [{"name": "mix", "properties": [{"name": "channels", "value": 2.5}]}]}]}'
osc '"outputs": [{"name": "out", "connections": ["mix.in2"]}]'
osc '"outputs": [{"name": "out", "connections": ["mix.in9"]}]'
osc '"inputs": [{"name": "gate", "connections": []}], "outputs": [{"name": "out", "connections": ["mix.in1"]}]'
new '"properties": [{"name": "frequency", "value": 1}], "outputs": [{"name": "out", "connections": ["volume.in"]}]'
refuse '{"factories": [{"name": "gain", "blocks": [{"name": "osc1"}]}]}'
osc '"propertise": []'
run run -- fbrestore missing.json
run run -- fbdump >after.json
cmp before.json after.json && echo "the device is untouched"
