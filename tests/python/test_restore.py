# SPDX-License-Identifier: MIT
"""snapshot() and restore(): plans, dry runs, and a failed apply undone."""

import pytest
import tarnfb

from conftest import Unchanged, inject


def test_dry_run_changes_nothing_and_restore_returns_to_the_snapshot(state, dev):
    doc = dev.snapshot()
    dev.set("volume", level=0.9)
    dev.disconnect("osc1.out", "mix.in1")
    with Unchanged(state):
        plan = dev.restore(doc, dry_run=True)
    assert plan == ["set volume.level 0.9 -> 0.5", "connect osc1.out mix.in1"]
    assert dev.restore(doc) == plan
    assert dev.snapshot() == doc
    assert dev.restore(doc) == []


def test_exact_also_disconnects_what_the_document_leaves_out(state, dev):
    doc = dev.snapshot()
    dev.connect("osc1.out", "mix.in4")
    assert dev.restore(doc, dry_run=True) == []
    assert dev.restore(doc, exact=True) == ["disconnect osc1.out mix.in4"]
    assert dev.snapshot() == doc


def test_part_of_a_network_creates_a_block(state, dev):
    doc = {"factories": [{"name": "gain", "blocks": [
        {"name": "boost", "properties": [{"name": "level", "value": 0.3}],
         "inputs": [{"name": "in", "connections": ["osc1.out"]}]}]}]}
    plan = dev.restore(doc)
    assert plan[0] == "create gain boost" and "connect osc1.out boost.in" in plan
    assert dev.properties("boost")["level"].value == 0.3
    assert dev.inputs("boost") == {"in": ["osc1.out"]}


@pytest.mark.emulator_only("injects a device failure part way through the plan")
def test_a_failed_apply_is_undone(state, dev):
    doc = dev.snapshot()
    changed = dev.snapshot()
    gain, mixer = changed["factories"][2], changed["factories"][3]
    assert (gain["blocks"][0]["name"], mixer["blocks"][0]["name"]) == ("volume", "mix")
    gain["blocks"][0]["properties"][0]["value"] = 0.9
    mixer["blocks"][0]["properties"][0]["value"] = 0.7
    # Reading the network takes one command for the factories, one per
    # factory and three per block; the second write of the plan then fails.
    reads = 1 + len(doc["factories"]) + 3 * sum(len(f["blocks"]) for f in doc["factories"])
    inject("status", reads + 2)
    with pytest.raises(tarnfb.ApplyError) as failed:
        dev.restore(changed)
    assert failed.value.failed == 1 and list(failed.value.left_changed) == []
    assert isinstance(failed.value, tarnfb.Error)
    assert dev.snapshot() == doc
