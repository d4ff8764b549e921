# SPDX-License-Identifier: MIT
"""Fixtures of the tarnfb tests: a fresh device per test and fbdump's view of it.

Under the emulator each test points the preloaded shim at a state file of its
own (FBEMU_STATE, read at each command). A real device
(TARNFB_TEST_REAL_DEVICE=1) has one network, served from a state file the
tests cannot see: each test resets it through the launcher in FBEMU_LAUNCHER,
which starts the device afresh for a state file it has not seen yet, and the
tests marked emulator_only are skipped.
"""

import json
import os
import subprocess
from contextlib import contextmanager
from pathlib import Path

import pytest
import tarnfb

HERE = Path(__file__).parent
REAL_DEVICE = os.environ.get("TARNFB_TEST_REAL_DEVICE") == "1"
# Where the programs keep the ticket registry when no emulator state is named.
BOARD_REGISTRY = "/run/patchbay/tickets"


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "emulator_only(reason): needs the emulator (injected faults, its state file, no device)")


def pytest_collection_modifyitems(config, items):
    if not REAL_DEVICE:
        return
    for item in items:
        marker = item.get_closest_marker("emulator_only")
        if marker:
            reason = marker.args[0] if marker.args else "needs the emulator"
            item.add_marker(pytest.mark.skip(reason=f"real device: {reason}"))


def _fresh_device(state, catalog=None):
    """A device holding the default network, or `catalog`'s; `state` names it for the launcher."""
    os.environ.pop("FBEMU_FAULT", None)
    if REAL_DEVICE:
        # The launcher resets the one device for a state file it has not
        # seen; the variables stay as the environment gave them.
        os.environ.pop("FBEMU_CATALOG", None)
        command = [os.environ["FBEMU_LAUNCHER"], "--state", str(state)]
        if catalog:
            command += ["--catalog", str(catalog)]
        subprocess.run([*command, "run", "--", "true"], check=True, timeout=60)
        return state
    # The emulator's launcher would only set these for a file not yet there.
    os.environ["FBEMU_STATE"] = str(state)
    if catalog:
        os.environ["FBEMU_CATALOG"] = str(catalog)
    else:
        os.environ.pop("FBEMU_CATALOG", None)
    return state


@pytest.fixture(autouse=True)
def _no_fault_left():
    yield
    os.environ.pop("FBEMU_FAULT", None)


@pytest.fixture
def state(tmp_path):
    """The state file of a device holding the emulator's default network."""
    return _fresh_device(tmp_path / "state.json")


@pytest.fixture
def probe_state(tmp_path):
    """The state file of a device with blocks p1 -> p2 whose properties have every value type."""
    return _fresh_device(tmp_path / "state.json", HERE / "probe_network.json")


@pytest.fixture(params=[None, HERE / "probe_network.json"], ids=["default", "probe"])
def either_state(request, tmp_path):
    """The default network, then the one with every value type."""
    return _fresh_device(tmp_path / "state.json", request.param)


@pytest.fixture
def dev():
    return tarnfb.Device()


def fbdump(*args):
    """fbdump's document of the current device, parsed."""
    out = subprocess.run(
        [os.environ["FBEMU_LAUNCHER"], "run", "--", os.environ["FBDUMP"], "--compact", *args],
        check=True, capture_output=True, text=True, timeout=120,
    ).stdout
    return json.loads(out)


def registry_path():
    """The ticket registry every program finds: beside the emulator's state file, else the board's."""
    state = os.environ.get("FBEMU_STATE")
    return state + ".tickets" if state else BOARD_REGISTRY


class Unchanged:
    """Asserts that the device's network was not changed.

    Under the emulator, its state file was not rewritten (the emulator writes
    it on every change); on a real device, fbdump's document of it is the same.
    """

    def __init__(self, path):
        self.path = Path(path)

    def _stamp(self):
        if REAL_DEVICE:
            return fbdump()
        return (self.path.read_bytes(), self.path.stat().st_mtime_ns) if self.path.exists() else None

    def __enter__(self):
        self.before = self._stamp()
        return self

    def __exit__(self, *exc):
        assert self._stamp() == self.before, "the device's network changed"
        return False


_fresh_fault = iter(range(1, 1_000_000))


def inject(kind, at=1):
    """Makes the emulator's `at`-th command from now misbehave once (fault injection)."""
    # The emulator counts commands afresh when the variable's text changes, so
    # each injection gets a text not used before (leading zeros: the same number).
    os.environ["FBEMU_FAULT"] = f"{kind}@{'0' * next(_fresh_fault)}{at}"


@contextmanager
def nothing_sent(state, next_command):
    """Asserts that the block sends the device nothing.

    Under the emulator, the command after the block is the first one sent (an
    injected failure shows which); on a real device, the network is unchanged.
    """
    if REAL_DEVICE:
        with Unchanged(state):
            yield
        return
    inject("status")
    yield
    with pytest.raises(tarnfb.DeviceError, match="injected fault"):
        next_command()
