# SPDX-License-Identifier: MIT
"""Device failures and unreadable replies as tarnfb's exceptions."""

import os
import subprocess
import sys

import pytest
import tarnfb

from conftest import Unchanged, inject


@pytest.mark.parametrize("call, code", [
    (lambda d: d.create("nosuch", "x"), 10),
    (lambda d: d.properties("nosuch"), 11),
    (lambda d: d.set("nosuch", level=1.0), 11),
    (lambda d: d.create("gain", "volume"), 12),
    (lambda d: d.destroy(9999), 13),
    (lambda d: d.connect("volume.nosuch", "split.in"), 14),
    (lambda d: d.connect("osc1.out", "volume.in"), 15),
    (lambda d: d.disconnect("osc1.out", "volume.in"), 16),
    (lambda d: d.write("volume", [("nosuch", 1.0)]), 17),
    (lambda d: d.write("volume", [("level", 0.25), ("mute", 1.5)]), 18),
])
def test_device_refusals_carry_the_device_code(state, dev, call, code):
    dev.factories()
    with Unchanged(state), pytest.raises(tarnfb.DeviceError) as refused:
        call(dev)
    assert refused.value.code == code
    assert isinstance(refused.value, tarnfb.Error) and isinstance(refused.value, RuntimeError)


@pytest.mark.emulator_only("injects the emulator's faults")
def test_injected_failures(state, dev):
    inject("status")
    with pytest.raises(tarnfb.DeviceError, match="^list_factories: injected fault$") as failed:
        dev.factories()
    assert failed.value.code == 42
    inject("ioctl")
    with pytest.raises(tarnfb.DeviceError, match="ioctl failed") as failed:
        dev.create("gain", "boost")
    assert failed.value.code == 0
    assert "boost" not in dev.blocks("gain")


@pytest.mark.emulator_only("injects the emulator's faults")
@pytest.mark.parametrize("kind", ["corrupt", "truncate"])
def test_unreadable_replies_are_stream_errors_and_the_session_goes_on(state, dev, kind):
    expected = dev.properties("osc1")
    inject(kind)
    with pytest.raises(tarnfb.StreamError):
        dev.properties("osc1")
    assert repr(dev.properties("osc1")) == repr(expected)


@pytest.mark.emulator_only("a process without any device: only the emulator's shim can be left out")
def test_a_device_that_cannot_be_opened():
    env = dict(os.environ)
    env["LD_PRELOAD"] = " ".join(p for p in env.get("LD_PRELOAD", "").split() if "fbemu-shim" not in p)
    script = "import tarnfb\ntry:\n    tarnfb.Device()\nexcept tarnfb.DeviceError as e:\n    print(e.code, e)\n"
    python = os.environ.get("TARNFB_TEST_PYTHON", sys.executable).split()
    out = subprocess.run([*python, "-c", script], env=env, capture_output=True, text=True, check=True)
    assert out.stdout.startswith("0 ") and "functionblocks" in out.stdout


def test_text_that_is_not_utf8_reaches_the_device_and_comes_back_in_errors(state, dev):
    # Surrogate escapes stand for the bytes they came from, both ways.
    name = b"x\xffy".decode("utf-8", "surrogateescape")
    with Unchanged(state), pytest.raises(tarnfb.DeviceError) as refused:
        dev.properties(name)
    assert refused.value.code == 11 and name in str(refused.value)
