# SPDX-License-Identifier: MIT
"""The patchbay.fb collection run by ansible-playbook against two emulated boards and one without tarnfb."""

import json
import os
import subprocess
import sys
import time
from pathlib import Path

import pytest

HERE = Path(__file__).parent
PLAYBOOK = os.environ["ANSIBLE_PLAYBOOK"]
MODULES = ("network", "property", "connection", "network_facts")

# A block the default network lacks, fed by the first oscillator.
RACK = {"factories": [{"name": "gain", "blocks": [
    {"name": "boost", "properties": [{"name": "level", "value": 0.3}],
     "inputs": [{"name": "in", "connections": ["osc1.out"]}]}]}]}
# The same block at another level, for the plan of check mode.
RETUNED = {"factories": [{"name": "gain", "blocks": [
    {"name": "boost", "properties": [{"name": "level", "value": 0.6}]}]}]}
# A new block connected through a port gain blocks do not have.
REFUSED = {"factories": [{"name": "gain", "blocks": [
    {"name": "extra", "inputs": [{"name": "nosuch", "connections": ["osc1.out"]}]}]}]}
# Two blocks' levels: two writes, the second of which the device will refuse.
TWO_WRITES = {"factories": [{"name": "gain", "blocks": [
    {"name": "boost", "properties": [{"name": "level", "value": 0.6}]},
    {"name": "volume", "properties": [{"name": "level", "value": 0.9}]}]}]}


def board_environment(state, tarnfb=True):
    env = {"FBEMU_STATE": str(state), "LD_PRELOAD": os.environ["FBEMU_SHIM"]}
    if tarnfb:
        env["PYTHONPATH"] = os.environ["TARNFB_PACKAGE_DIR"]
    return env


@pytest.fixture(scope="module")
def ansible_env(tmp_path_factory):
    """The environment of Ansible's commands, with the built collection installed in a directory of its own."""
    tmp = tmp_path_factory.mktemp("ansible")
    env = dict(os.environ, ANSIBLE_HOME=str(tmp / "home"), ANSIBLE_LOCAL_TEMP=str(tmp / "local"),
               ANSIBLE_REMOTE_TEMP=str(tmp / "remote"), ANSIBLE_NOCOLOR="1", ANSIBLE_RETRY_FILES_ENABLED="0",
               ANSIBLE_COLLECTIONS_PATH=str(tmp / "collections"))
    env.pop("LD_PRELOAD", None)
    subprocess.run([os.environ["ANSIBLE_GALAXY"], "collection", "install", "-p", str(tmp / "collections"),
                    os.environ["COLLECTION_TARBALL"]], env=env, check=True, capture_output=True, timeout=120)
    return env


def test_every_module_documents_itself(ansible_env):
    doc = str(Path(PLAYBOOK).with_name("ansible-doc"))
    for module in MODULES:
        shown = subprocess.run([doc, f"patchbay.fb.{module}"], env=ansible_env, capture_output=True, text=True)
        assert shown.returncode == 0 and "EXAMPLES" in shown.stdout, shown.stderr
        assert "python3-tarnfb" in shown.stdout


@pytest.fixture(scope="module")
def rack(tmp_path_factory, ansible_env):
    """An inventory of boards board1 and board2 (each its own state file) and board3 (no tarnfb)."""
    tmp = tmp_path_factory.mktemp("rack")
    states = {name: tmp / f"{name}.json" for name in ("board1", "board2", "board3")}
    for name, doc in (("rack", RACK), ("retuned", RETUNED), ("refused", REFUSED), ("two-writes", TWO_WRITES)):
        (tmp / f"{name}.json").write_text(json.dumps(doc))
    inventory = {"all": {
        "vars": {"ansible_connection": "local", "ansible_python_interpreter": "/usr/bin/python3",
                 "document": str(tmp / "rack.json")},
        "children": {
            "boards": {"hosts": {
                "board1": {"fb_environment": board_environment(states["board1"]), "board_level": 0.25},
                "board2": {"fb_environment": board_environment(states["board2"]), "board_level": 0.75}}},
            # -S keeps the interpreter off dist-packages, where an installed tarnfb would be.
            "bare": {"hosts": {"board3": {"fb_environment": board_environment(states["board3"], tarnfb=False),
                                        "ansible_python_interpreter": "/usr/bin/python3 -S",
                                        "board_level": 0.5}}}}}}
    (tmp / "inventory.json").write_text(json.dumps(inventory))
    return tmp, states, ansible_env


def play(rack, *args):
    """Runs the tests' playbook; returns its output and each host's recap counts."""
    tmp, _, env = rack
    started = time.monotonic()
    run = subprocess.run([PLAYBOOK, "-i", str(tmp / "inventory.json"), str(HERE / "site.yml"), *args],
                         env=env, capture_output=True, text=True, timeout=300)
    took = time.monotonic() - started
    recap = {}
    for line in run.stdout.split("PLAY RECAP")[-1].splitlines():
        host, sep, counts = line.partition(" : ")
        if sep:
            recap[host.strip()] = {k: int(v) for k, v in (c.split("=") for c in counts.split())}
    return run.stdout + run.stderr, recap, took


def snapshot(state):
    """The board's network read with tarnfb outside Ansible."""
    env = dict(os.environ, **board_environment(state))
    out = subprocess.run([sys.executable, "-c", "import json, tarnfb; print(json.dumps(tarnfb.Device().snapshot()))"],
                         env=env, check=True, capture_output=True, text=True).stdout
    return json.loads(out)


def block(doc, name):
    return next(b for f in doc["factories"] for b in f["blocks"] if b["name"] == name)


def value(doc, name):
    block_name, prop = name.split(".")
    return next(p["value"] for p in block(doc, block_name)["properties"] if p["name"] == prop)


def test_converges_both_boards_then_changes_nothing_and_check_mode_only_plans(rack):
    _, states, _ = rack
    output, recap, first = play(rack, "--limit", "boards")
    assert recap["board1"]["changed"] == 3 and recap["board2"]["changed"] == 3, output
    for name, level in (("board1", 0.25), ("board2", 0.75)):
        doc = snapshot(states[name])
        assert value(doc, "boost.level") == pytest.approx(0.3) and value(doc, "volume.level") == level
        assert block(doc, "boost")["inputs"] == [{"name": "in", "connections": ["osc1.out"]}]
        assert "mix.in2" not in block(doc, "osc2")["outputs"][0]["connections"]

    output, recap, second = play(rack, "--limit", "boards")
    assert recap["board1"]["changed"] == 0 and recap["board2"]["changed"] == 0, output

    before = {name: states[name].read_bytes() for name in ("board1", "board2")}
    output, recap, check = play(rack, "--limit", "boards", "--check", "--diff",
                                "-e", f"document={rack[0] / 'retuned.json'} board_level=0.5")
    assert recap["board1"]["changed"] == 2 and recap["board2"]["changed"] == 2, output
    assert output.count("set boost.level 0.3 -> 0.6") == 2, output
    assert "set volume.level 0.25 -> 0.5" in output and "set volume.level 0.75 -> 0.5" in output
    assert {name: states[name].read_bytes() for name in ("board1", "board2")} == before
    print(f"\nplaybook, two boards: first run {first:.1f} s, second run {second:.1f} s, check mode {check:.1f} s")


def test_a_refused_document_fails_and_leaves_the_board_as_it_was(rack):
    tmp, states, _ = rack
    play(rack, "--limit", "board1")
    before = snapshot(states["board1"])
    output, recap, _ = play(rack, "--limit", "board1", "-e", f"document={tmp / 'refused.json'}")
    assert recap["board1"]["failed"] == 1 and recap["board1"]["changed"] == 0, output
    assert "unknown input port nosuch" in output
    assert snapshot(states["board1"]) == before

    # The device refuses the second write of the apply: the first is undone.
    # The module's process reads the network (one exchange for the factories,
    # one per factory, three per block), then writes.
    reads = 1 + len(before["factories"]) + 3 * sum(len(f["blocks"]) for f in before["factories"])
    faulty = dict(board_environment(states["board1"]), FBEMU_FAULT=f"status@{reads + 2}")
    output, recap, _ = play(rack, "--limit", "board1",
                            "-e", json.dumps({"document": str(tmp / "two-writes.json"), "fb_environment": faulty}))
    assert recap["board1"]["failed"] == 1 and recap["board1"]["changed"] == 0, output
    assert "injected fault" in output
    assert snapshot(states["board1"]) == before


def test_a_board_without_tarnfb_is_told_what_to_install(rack):
    output, recap, _ = play(rack, "--limit", "bare")
    assert recap["board3"]["failed"] == 1, output
    assert "apt install python3-tarnfb" in output
