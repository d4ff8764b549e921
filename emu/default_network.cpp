// SPDX-License-Identifier: MIT
// The network a fresh emulated device holds: a small synthesiser patch.
#include "network_json.hpp"

namespace fbemu {
namespace {

const char* const default_network_text = R"({
  "factories": [
    {"name": "sine_osc", "inputs": ["fm", "sync"], "outputs": ["out"],
     "properties": [
       {"name": "frequency", "type": "float", "default": 440.0},
       {"name": "amplitude", "type": "float", "default": 0.8},
       {"name": "waveform", "type": "enum", "choices": ["sine", "square", "sawtooth", "triangle"], "default": 0}]},
    {"name": "gain", "inputs": ["in"], "outputs": ["out"],
     "properties": [
       {"name": "level", "type": "float", "default": 1.0},
       {"name": "mute", "type": "uint8", "default": 0}]},
    {"name": "mixer", "inputs": ["in1", "in2", "in3", "in4"], "outputs": ["out"],
     "properties": [
       {"name": "master", "type": "float", "default": 1.0},
       {"name": "channels", "type": "uint32", "default": 4}]},
    {"name": "biquad_filter", "inputs": ["in"], "outputs": ["out"],
     "properties": [
       {"name": "mode", "type": "enum", "choices": ["lowpass", "highpass", "bandpass", "notch"], "default": 0},
       {"name": "cutoff", "type": "float", "default": 1000.0},
       {"name": "q", "type": "float", "default": 0.707},
       {"name": "order", "type": "uint8", "default": 2}]},
    {"name": "splitter", "inputs": ["in"], "outputs": ["out1", "out2"],
     "properties": [
       {"name": "ways", "type": "uint32", "default": 2}]},
    {"name": "audio_out", "inputs": ["left", "right"], "outputs": [],
     "properties": [
       {"name": "sample_rate", "type": "uint32", "default": 48000},
       {"name": "format", "type": "enum", "choices": ["s16le", "s24le", "f32le"], "default": 0},
       {"name": "buffer_frames", "type": "uint32", "default": 256}]}
  ],
  "blocks": [
    {"name": "osc1", "factory": "sine_osc", "ticket": 1},
    {"name": "osc2", "factory": "sine_osc", "ticket": 2,
     "properties": {"frequency": 220.0, "waveform": 1}},
    {"name": "mix", "factory": "mixer", "ticket": 3},
    {"name": "lowpass", "factory": "biquad_filter", "ticket": 4,
     "properties": {"cutoff": 1200.0}},
    {"name": "volume", "factory": "gain", "ticket": 5,
     "properties": {"level": 0.5}},
    {"name": "split", "factory": "splitter", "ticket": 6},
    {"name": "speaker", "factory": "audio_out", "ticket": 7}
  ],
  "connections": [
    {"from": "osc1.out", "to": "mix.in1"},
    {"from": "osc2.out", "to": "mix.in2"},
    {"from": "osc2.out", "to": "lowpass.in"},
    {"from": "lowpass.out", "to": "mix.in3"},
    {"from": "mix.out", "to": "volume.in"},
    {"from": "volume.out", "to": "split.in"},
    {"from": "split.out1", "to": "speaker.left"},
    {"from": "split.out2", "to": "speaker.right"}
  ],
  "next_ticket": 8
})";

}  // namespace

network default_network() { return network_from_json(json::parse(default_network_text)); }

}  // namespace fbemu
