#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Adds a gain stage after the mixer of the emulator's default network, tunes it, and prints the result.

Run it against the emulator:
    build/native/emu/fbemu --fresh run -- env PYTHONPATH=build/native/python python3 python/examples/add_boost_stage.py
"""

import json
import sys

import tarnfb


def main():
    dev = tarnfb.Device()
    print("factories:", ", ".join(dev.factories()))

    # A new block between the mixer and the volume stage.
    ticket = dev.create("gain", "boost")
    dev.set("boost", level=1.5, mute=0)
    dev.disconnect("mix.out", "volume.in")
    dev.connect("mix.out", "boost.in")
    dev.connect("boost.out", "volume.in")
    dev.set("lowpass", mode="highpass", cutoff=250)  # an enum by its choice name

    for name, prop in dev.properties("boost").items():
        print(f"boost.{name} = {prop.value} ({prop.type})")
    print("mix feeds:", dev.outputs("mix")["out"])

    # The whole network as fbdump's document; restore() would bring it back.
    doc = dev.snapshot()
    gain = next(f for f in doc["factories"] if f["name"] == "gain")
    json.dump(gain, sys.stdout, indent=2)
    print()
    print("ticket of boost:", ticket)


if __name__ == "__main__":
    try:
        main()
    except tarnfb.DeviceError as e:
        sys.exit(f"device error {e.code}: {e}")
