# SPDX-License-Identifier: MIT
"""Fixtures of the tarnfb tests: a fresh emulated device per test and fbdump's view of it."""

import json
import os
import subprocess
from pathlib import Path

import pytest
import tarnfb

HERE = Path(__file__).parent


def _emulated(state, catalog=None):
    """Points the emulated device at a state file of its own (the shim reads the variables at each command)."""
    os.environ["FBEMU_STATE"] = str(state)
    os.environ.pop("FBEMU_FAULT", None)
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
    return _emulated(tmp_path / "state.json")


@pytest.fixture
def probe_state(tmp_path):
    """The state file of a device with blocks p1 -> p2 whose properties have every value type."""
    return _emulated(tmp_path / "state.json", HERE / "probe_network.json")


@pytest.fixture(params=[None, HERE / "probe_network.json"], ids=["default", "probe"])
def either_state(request, tmp_path):
    """The default network, then the one with every value type."""
    return _emulated(tmp_path / "state.json", request.param)


@pytest.fixture
def dev():
    return tarnfb.Device()


def fbdump(*args):
    """fbdump's document of the current emulated device, parsed."""
    out = subprocess.run(
        [os.environ["FBEMU_LAUNCHER"], "run", "--", os.environ["FBDUMP"], "--compact", *args],
        check=True, capture_output=True, text=True,
    ).stdout
    return json.loads(out)


class Unchanged:
    """Asserts that the device's state file was not rewritten (the emulator writes it on every change)."""

    def __init__(self, path):
        self.path = Path(path)

    def _stamp(self):
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
