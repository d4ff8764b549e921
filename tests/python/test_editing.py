# SPDX-License-Identifier: MIT
"""Changing the network through tarnfb: blocks, connections, converted and raw property writes."""

import pytest
import tarnfb

from conftest import fbdump


def test_create_set_connect_disconnect_destroy_round_trip(state, dev):
    ticket = dev.create("gain", "boost")
    assert isinstance(ticket, int) and ticket > 0
    assert "boost" in dev.blocks("gain")

    dev.set("boost", level=0.25, mute=1)
    assert {n: p.value for n, p in dev.properties("boost").items()} == {"level": 0.25, "mute": 1}

    dev.disconnect("volume.out", "split.in")
    dev.connect("volume.out", "boost.in")
    dev.connect("boost.out", "split.in")
    assert dev.outputs("volume") == {"out": ["boost.in"]}
    assert dev.inputs("boost") == {"in": ["volume.out"]}
    assert dev.inputs("split") == {"in": ["boost.out"]}

    dev.activate("boost", False)
    dev.activate("boost", True)

    dev.destroy(ticket)
    assert "boost" not in dev.blocks("gain")
    assert dev.outputs("volume") == {"out": []}
    assert dev.inputs("split") == {"in": []}


def test_set_converts_to_the_declared_types(probe_state, dev):
    dev.set("p1", {"f32": 2, "u32": 4_000_000_000, "u8": 255, "mode": 0, "f64": 1, "i64": -(2**40)},
            label="text", taps=(1, 0.5), u64=2**64 - 1)
    values = {n: p.value for n, p in dev.properties("p1").items()}
    assert values["f32"] == 2.0 and values["u32"] == 4_000_000_000 and values["u8"] == 255
    assert values["mode"] == "off" and values["f64"] == 1.0 and values["i64"] == -(2**40)
    assert values["label"] == "text" and values["taps"] == [1.0, 0.5] and values["u64"] == 2**64 - 1

    dev.set("p1", mode="fast")
    mode = dev.properties("p1")["mode"]
    assert (mode.value, mode.index, mode.choices) == ("fast", 2, ["off", "slow", "fast"])


def test_keywords_override_the_mapping(state, dev):
    dev.set("volume", {"level": 0.1, "mute": 1}, level=0.9)
    assert {n: p.value for n, p in dev.properties("volume").items()} == {"level": 0.9, "mute": 1}


def test_raw_write_carries_each_of_the_ten_value_types(probe_state, dev):
    dev.write("p1", [
        ("i32", -7),                                   # int
        ("u32", tarnfb.uint32(9)),                     # unsigned int
        ("i64", tarnfb.int64(-(2**40))),               # long long
        ("u64", tarnfb.uint64(2**63)),                 # unsigned long long
        ("u8", tarnfb.uint8(200)),                     # unsigned char
        ("f32", tarnfb.float32(1.5)),                  # float
        ("f64", 0.125),                                # double
        ("label", "h\u00e9"),                          # string
        ("tags", {"a": 1, "b": [True, "x", 2.5], "c": {"d": tarnfb.uint8(3)}}),  # object
        ("taps", [1, 2.5]),                            # float vector
    ])
    values = {n: p.value for n, p in dev.properties("p1").items()}
    assert values == {
        "i32": -7, "u32": 9, "i64": -(2**40), "u64": 2**63, "u8": 200, "f32": 1.5, "f64": 0.125,
        "label": "h\u00e9", "tags": {"a": 1, "b": [True, "x", 2.5], "c": {"d": 3}}, "taps": [1.0, 2.5],
        "mode": "slow",
    }
    # A dict of items is written like its pairs.
    dev.write("p1", {"i32": 8, "label": "again"})
    assert dev.value_str("p1.label") == "again" and dev.value("p1.i32") == 8.0
    assert fbdump() == dev.snapshot()


def test_wrappers_check_their_range_and_compare_by_value():
    assert tarnfb.uint8(255).value == 255 and tarnfb.uint32(0) == tarnfb.uint32(0)
    assert repr(tarnfb.int64(-1)) == "tarnfb.int64(-1)"
    assert tarnfb.float32(3).value == 3.0
    for wrapper, bad in [(tarnfb.uint8, 256), (tarnfb.uint8, -1), (tarnfb.uint32, 2**32),
                         (tarnfb.int64, 2**63), (tarnfb.uint64, -1), (tarnfb.float32, 1e39)]:
        with pytest.raises(ValueError):
            wrapper(bad)
    for wrapper, bad in [(tarnfb.uint8, 1.5), (tarnfb.uint32, "1"), (tarnfb.float32, "1")]:
        with pytest.raises(TypeError):
            wrapper(bad)
