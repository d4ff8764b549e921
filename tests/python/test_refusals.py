# SPDX-License-Identifier: MIT
"""Python mistakes raise TypeError, ValueError or KeyError and send nothing that changes the device."""

import pytest

from conftest import Unchanged, nothing_sent


@pytest.mark.parametrize("error, values", [
    (KeyError, {"nosuch": 1}),
    (KeyError, {"mode": "turbo"}),
    (ValueError, {"u8": 256}),
    (ValueError, {"u32": -1}),
    (ValueError, {"u64": 2**64}),
    (TypeError, {"u8": 1.5}),
    (TypeError, {"f32": "loud"}),
    (TypeError, {"u8": None}),
    (TypeError, {"tags": {"a": 1}}),
    (TypeError, {"taps": [1, "x"]}),
    (ValueError, {"f32": 1.0, "u8": 300}),  # one bad value keeps the good one back too
])
def test_refused_set_changes_nothing(probe_state, dev, error, values):
    dev.properties("p1")  # the device exists before the state is compared
    with Unchanged(probe_state), pytest.raises(error):
        dev.set("p1", **values)


def test_set_names_must_be_str(probe_state, dev):
    with pytest.raises(TypeError):
        dev.set("p1", {1: 2})


def _cyclic():
    d = {}
    d["self"] = d
    return d


@pytest.mark.parametrize("error, items", [
    (ValueError, [("i32", 2**31)]),
    (TypeError, [("label", b"bytes")]),
    (TypeError, [("taps", [1, "x"])]),
    (ValueError, [("taps", [1e39])]),
    (TypeError, [("tags", {1: 2})]),
    (TypeError, [("tags", {"a": None})]),
    (ValueError, [("tags", {"a": 2**40})]),
    (ValueError, [("tags", _cyclic())]),
    (TypeError, ["not a pair"]),
    (TypeError, [(1, 2)]),
    (TypeError, [("i32", 1), ("label", object())]),  # the good first pair is not sent either
    (TypeError, 5),
])
def test_refused_write_sends_nothing(probe_state, dev, error, items):
    with nothing_sent(probe_state, lambda: dev.value("p1.i32")), pytest.raises(error):
        dev.write("p1", items)


def _nested(depth):
    value = 1
    for _ in range(depth):
        value = [value]
    return value


def _osc1(**property_):
    return {"factories": [{"name": "sine_osc", "blocks": [{"name": "osc1", "properties": [property_]}]}]}


@pytest.mark.parametrize("error, document", [
    (ValueError, _osc1(name="frequency", value=_nested(20000))),
    # osc1 holds the enum's index 0: a float is refused either way.
    (ValueError, _osc1(name="waveform", value=0.0)),
    (ValueError, _osc1(name="waveform", value=1.0)),
    (ValueError, {"factories": [
        {"name": "sine_osc", "blocks": [{"name": "osc1", "outputs": [{"name": "out", "connections": []}]}]},
        {"name": "mixer", "blocks": [{"name": "mix", "inputs": [{"name": "in1", "connections": ["osc1.out"]}]}]}]}),
    (ValueError, {"factories": [{"name": "nosuch", "blocks": []}]}),
    (ValueError, {"factories": [{"name": "gain", "blocks": [
        {"name": "volume", "properties": [{"name": "mute", "value": 300}]}]}]}),
    (ValueError, {"factories": [{"name": "gain", "blocks": [
        {"name": "volume", "properties": [{"name": "level", "value": float("nan")}]}]}]}),
    (ValueError, {"factories": [{"name": "gain", "blocks": [
        {"name": "volume", "inputs": [{"name": "in", "connections": ["osc1.out", "osc2.out"]}]}]}]}),
    (ValueError, {"factorys": []}),
    (TypeError, {"factories": [object()]}),
])
def test_refused_restore_changes_nothing(state, dev, error, document):
    dev.factories()
    with Unchanged(state), pytest.raises(error):
        dev.restore(document)


def test_wrong_argument_types_are_type_errors(state, dev):
    with Unchanged(state):
        for call in [lambda: dev.blocks(1), lambda: dev.destroy(-1), lambda: dev.destroy(b"g1"),
                     lambda: dev.connect("a.b", None), lambda: dev.values("volume.level"),
                     lambda: dev.properties(b"volume"), lambda: dev.resource_method("a", "b", "c", number=-1)]:
            with pytest.raises(TypeError):
                call()
