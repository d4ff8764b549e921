# SPDX-License-Identifier: MIT
"""Blocks made by one front end and removed by another through the device's
ticket registry: tarnfb, fbrestore, fbweb's API and patchbay's test session
(which keeps no registry)."""

import json
import os
import subprocess
import sys
import urllib.error
import urllib.request

import pytest
import tarnfb

from conftest import REAL_DEVICE, fbdump, registry_path

LAUNCHER = os.environ["FBEMU_LAUNCHER"]


def run(program, *args, stdin=None):
    # The emulator's launcher sets up its own preload; this process's (an
    # armhf shim under qemu) would only make the host's loader complain. A
    # real device's launcher preloads nothing: the environment's stays.
    env = {k: v for k, v in os.environ.items() if REAL_DEVICE or k != "LD_PRELOAD"}
    return subprocess.run([LAUNCHER, "run", "--", os.environ[program], *args], input=stdin,
                          capture_output=True, text=True, timeout=120, env=env)


def registry():
    """The device's registry file: block -> (ticket, factory)."""
    path = registry_path()
    if not os.path.exists(path):
        return {}
    entries = {}
    for line in open(path):
        if not line.startswith("#"):
            ticket, factory, block = line.split()
            entries[block] = (int(ticket), factory)
    return entries


def without_registry(action):
    """Runs `action` as a program that keeps no registry would: the file is as before afterwards."""
    path = registry_path()
    saved = open(path).read()
    action()
    with open(path, "w") as f:
        f.write(saved)


def made_by_test_session(factory, name):
    out = run("PATCHBAY", "-c", "test", stdin=f"6\n{factory}\n{name}\n11\n")
    assert out.returncode == 0 and "ticket = " in out.stdout, out.stdout + out.stderr


def gain_document(tmp_path, blocks):
    """A document of factory gain listing only `blocks` (as they are on the device)."""
    factory = next(f for f in fbdump()["factories"] if f["name"] == "gain")
    factory["blocks"] = [b for b in factory["blocks"] if b["name"] in blocks]
    path = tmp_path / "gain.json"
    path.write_text(json.dumps({"factories": [factory]}))
    return str(path)


class Web:
    """fbweb on a loopback port, on the same device as the test."""

    def __init__(self, state):
        self.process = subprocess.Popen(
            [LAUNCHER, "--state", str(state), "run", "--", os.environ["FBWEB"], "--listen", "127.0.0.1:0"],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        first = self.process.stdout.readline()
        assert first.startswith("fbweb: listening on http://127.0.0.1:"), first + self.process.stderr.read()
        self.base = first.split()[-1].rstrip("/")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)
        self.process.stdout.close()
        self.process.stderr.close()

    def __call__(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        req = urllib.request.Request(self.base + path, data=data, method=method,
                                     headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(req, timeout=120) as res:
                return res.status, json.loads(res.read())
        except urllib.error.HTTPError as e:
            return e.code, json.loads(e.read())


@pytest.fixture
def web(state):
    if "FBWEB" not in os.environ:
        pytest.skip("fbweb is not built")
    server = Web(state)
    yield server
    server.stop()


def test_made_in_the_api_destroyed_by_fbrestore_exact(state, web, dev, tmp_path):
    document = gain_document(tmp_path, {"volume"})
    assert web("POST", "/api/blocks", {"factory": "gain", "name": "g1"})[0] == 201
    assert web("GET", "/api/tickets") == (200, {"blocks": [{"name": "g1", "factory": "gain"}]})

    plain = run("FBRESTORE", "--check", document)  # a kept block is a difference
    assert plain.returncode == 2 and "keep gain g1" in plain.stdout.splitlines()  # without -x nothing is destroyed
    check = run("FBRESTORE", "-x", "--check", document)
    assert (check.returncode, check.stdout) == (2, "destroy gain g1\n")
    done = run("FBRESTORE", "-x", document)
    assert (done.returncode, done.stdout, done.stderr) == (0, "destroy gain g1\n", "")
    assert dev.blocks("gain") == ["volume"]
    assert registry() == {}
    assert web("GET", "/api/tickets") == (200, {"blocks": []})
    assert run("FBRESTORE", "-x", "--check", document).returncode == 0


def test_made_by_tarnfb_destroyed_through_the_api(state, web, dev):
    ticket = dev.create("gain", "g2")
    assert registry() == {"g2": (ticket, "gain")}
    assert dev.tickets() == {"g2": "gain"}
    assert web("DELETE", "/api/blocks/g2") == (200, {"destroyed": "g2"})
    assert dev.blocks("gain") == ["volume"] and registry() == {}
    assert web("DELETE", "/api/blocks/g2")[0] == 404

    status, body = web("DELETE", "/api/blocks/volume")  # from the default network: no ticket known
    assert status == 409 and "no ticket is known for block volume" in body["error"]
    assert "volume" in dev.blocks("gain")


def test_activity_and_value_routes(state, web):
    assert web("POST", "/api/blocks/volume/activate", {"active": False}) == (200, {"block": "volume", "active": False})
    assert web("POST", "/api/blocks/volume/activate", {"active": True})[0] == 200
    assert web("POST", "/api/blocks/nothing/activate", {"active": True})[0] == 404
    for bad in ({"active": 1}, {}, {"active": True, "more": 1}, [True]):
        assert web("POST", "/api/blocks/volume/activate", bad)[0] == 400, bad

    status, body = web("GET", "/api/values?name=osc1.frequency&name=nothing.here&name=volume.level")
    assert status == 200 and body["values"]["nothing.here"] is None
    network = fbdump()
    expected = {b["name"]: {p["name"]: p["value"] for p in b["properties"]}
                for f in network["factories"] for b in f["blocks"]}
    assert body["values"]["osc1.frequency"] == pytest.approx(expected["osc1"]["frequency"])
    assert body["values"]["volume.level"] == pytest.approx(expected["volume"]["level"])
    assert web("GET", "/api/values")[0] == 400


def test_made_by_patchbays_test_session_is_kept(state, dev, tmp_path):
    made_by_test_session("gain", "p1")
    document = gain_document(tmp_path, {"volume"})
    out = run("FBRESTORE", "-x", document)
    assert out.returncode == 0 and out.stdout.splitlines()[0] == "keep gain p1"
    with pytest.raises(tarnfb.TicketError, match="no ticket is known for block p1"):
        dev.destroy("p1")
    assert "p1" in dev.blocks("gain")


def test_a_stale_entry_never_destroys_the_new_block(state, dev, tmp_path):
    # Destroyed elsewhere, made again under the same name in the same factory
    # by the test session: the recorded ticket is the old block's.
    old = dev.create("gain", "s1")
    without_registry(lambda: dev.destroy(old))
    made_by_test_session("gain", "s1")
    assert registry()["s1"] == (old, "gain")
    with pytest.raises(tarnfb.TicketError, match=f"refused ticket {old}"):
        dev.destroy("s1")
    assert "s1" in dev.blocks("gain") and "s1" not in registry()

    # The same through fbrestore -x: the plan fails and is undone, the new
    # block stays; the entry is gone, so the next plan keeps it.
    old = dev.create("gain", "s2")
    without_registry(lambda: dev.destroy(old))
    made_by_test_session("gain", "s2")
    document = gain_document(tmp_path, {"volume", "s1"})
    out = run("FBRESTORE", "-x", document)
    assert out.returncode == 1 and f"refused ticket {old}" in out.stderr, out.stderr
    assert "s2" in dev.blocks("gain")
    assert run("FBRESTORE", "-x", "--check", document).stdout.splitlines()[0] == "keep gain s2"

    # Made again in another factory: the recorded factory no longer has it.
    old = dev.create("gain", "m1")
    without_registry(lambda: dev.destroy(old))
    made_by_test_session("mixer", "m1")
    assert dev.tickets() == {}
    with pytest.raises(tarnfb.TicketError, match="factory gain has no block m1"):
        dev.destroy("m1")
    assert "m1" in dev.blocks("mixer") and registry() == {}


def test_a_plan_the_device_refuses_part_way_is_undone(state, dev):
    # The plan's destroy, by a stale ticket, comes after its property writes:
    # the device refuses it and the writes are undone.
    old = dev.create("gain", "s3")
    without_registry(lambda: dev.destroy(old))
    made_by_test_session("gain", "s3")
    before = dev.snapshot()
    wanted = dev.snapshot()
    gain, mixer = wanted["factories"][2], wanted["factories"][3]
    gain["blocks"] = [b for b in gain["blocks"] if b["name"] != "s3"]
    assert (gain["name"], gain["blocks"][0]["name"], mixer["blocks"][0]["name"]) == ("gain", "volume", "mix")
    gain["blocks"][0]["properties"][0]["value"] = 0.9
    mixer["blocks"][0]["properties"][0]["value"] = 0.7
    assert dev.restore(wanted, exact=True, dry_run=True)[-1] == "destroy gain s3"

    with pytest.raises(tarnfb.ApplyError, match=f"refused ticket {old}") as failed:
        dev.restore(wanted, exact=True)
    assert failed.value.failed == 2 and list(failed.value.left_changed) == []
    assert dev.snapshot() == before and "s3" not in registry()


WORKER = """
import sys, tarnfb
dev, tag = tarnfb.Device(), sys.argv[1]
for i in range(20):
    dev.create("gain", f"{tag}{i}")
    if i % 2:
        dev.destroy(f"{tag}{i - 1}")
"""


def test_two_processes_creating_and_destroying_at_once(state, dev):
    python = os.environ.get("TARNFB_TEST_PYTHON", sys.executable).split()
    workers = [subprocess.Popen([*python, "-c", WORKER, tag]) for tag in ("a", "b")]
    assert [w.wait(timeout=300) for w in workers] == [0, 0]

    left = {f"{tag}{i}" for tag in "ab" for i in range(1, 20, 2)}
    assert set(dev.blocks("gain")) == left | {"volume"}
    entries = registry()
    assert set(entries) == left and {f for _, f in entries.values()} == {"gain"}
    assert len({t for t, _ in entries.values()}) == len(left)
    # Every recorded ticket is its block's: each destroy by name goes through.
    for name in left:
        dev.destroy(name)
    assert dev.blocks("gain") == ["volume"] and registry() == {}
