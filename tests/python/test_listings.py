# SPDX-License-Identifier: MIT
"""Listings and snapshots of tarnfb against fbdump's document of the same device."""

from conftest import fbdump


def _blocks(document):
    return [(f["name"], b) for f in document["factories"] for b in f["blocks"]]


def _python_value(listed):
    """A property of fbdump's document as Property.value gives it."""
    value = listed["value"]
    if listed["type"] == "enum":
        return value["choices"][value["index"]]
    return value


def test_listings_equal_fbdump(either_state, dev):
    document = fbdump()
    assert dev.factories() == [f["name"] for f in document["factories"]]
    for factory in document["factories"]:
        assert dev.blocks(factory["name"]) == [b["name"] for b in factory["blocks"]]
    for _, block in _blocks(document):
        props = dev.properties(block["name"])
        assert list(props) == [p["name"] for p in block["properties"]]
        for listed in block["properties"]:
            p = props[listed["name"]]
            assert (p.name, p.type, p.value) == (listed["name"], listed["type"], _python_value(listed))
            if p.type == "enum":
                assert (p.index, p.choices) == (listed["value"]["index"], listed["value"]["choices"])
            else:
                assert p.index is None and p.choices is None
        assert dev.inputs(block["name"]) == {p["name"]: p["connections"] for p in block["inputs"]}
        assert dev.outputs(block["name"]) == {p["name"]: p["connections"] for p in block["outputs"]}


def test_snapshot_equals_fbdump(either_state, dev):
    assert dev.snapshot() == fbdump()


def test_values_read_numbers_and_text(state, dev):
    assert dev.value("volume.level") == 0.5
    assert dev.value_str("volume.mute") == "0"
    # A name the device does not know reads as 3e20 in a multi-value read.
    assert dev.values(["osc2.frequency", "nowhere.level", "mix.channels"]) == [220.0, 3e20, 4.0]
    assert dev.values([]) == []


def test_listings_write_nothing_on_stdout(state, dev, capfd):
    dev.factories()
    dev.blocks("gain")
    dev.snapshot()
    assert capfd.readouterr().out == ""
