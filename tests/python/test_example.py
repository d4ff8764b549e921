# SPDX-License-Identifier: MIT
"""The example script runs against the emulated device and leaves the network it describes."""

import os
import subprocess
import sys
from pathlib import Path


EXAMPLE = Path(__file__).parents[2] / "python" / "examples" / "add_boost_stage.py"


def test_example_adds_the_boost_stage(state, dev):
    python = os.environ.get("TARNFB_TEST_PYTHON", sys.executable).split()
    out = subprocess.run([*python, str(EXAMPLE)], capture_output=True, text=True, check=True).stdout
    assert "boost.level = 1.5 (float)" in out
    assert dev.outputs("mix") == {"out": ["boost.in"]} and dev.inputs("volume") == {"in": ["boost.out"]}
    assert dev.properties("lowpass")["mode"].value == "highpass"
