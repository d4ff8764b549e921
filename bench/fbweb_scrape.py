# SPDX-License-Identifier: MIT
"""Time and size of one scrape of fbweb's /metrics on the emulated device's
default network (7 blocks) and on 1,000 blocks, and the exchanges a scrape
costs (one walk: one for the factories, one per factory, three per block).
A figure for the documentation, not a test; bounded to SCRAPES scrapes per
size over 127.0.0.1.

    FBEMU=build/native/emu/fbemu FBWEB=build/native/fbweb/fbweb WORK=/tmp/scrape \\
        python3 bench/fbweb_scrape.py [SCRAPES]"""

import json
import os
import re
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "fbweb"))
from fbweb_server import WORK, Server  # noqa: E402  (the tests' server runner)

SCRAPES = int(sys.argv[1]) if len(sys.argv) > 1 else 20


def catalog(blocks, factories=10):
    """A network of `blocks` blocks in a chain: a float and an enum property each."""
    decls = [{"name": f"stage_{f:02d}", "inputs": ["in"], "outputs": ["out"],
              "properties": [{"name": "gain", "type": "float", "default": 1.0},
                             {"name": "mode", "type": "enum", "choices": ["a", "b", "c"], "default": 0}]}
             for f in range(factories)]
    placed = [{"name": f"b{i:05d}", "factory": f"stage_{i % factories:02d}", "ticket": i + 1,
               "properties": {"gain": 0.5 + i % 7}} for i in range(blocks)]
    chain = [{"from": f"b{i:05d}.out", "to": f"b{i + 1:05d}.in"} for i in range(blocks - 1)]
    path = os.path.join(WORK, f"catalog-{blocks}.json")
    with open(path, "w") as f:
        json.dump({"factories": decls, "blocks": placed, "connections": chain, "next_ticket": blocks + 1}, f)
    return path


def exchanges(text):
    return sum(float(v) for v in re.findall(r'^patchbay_exchanges_total\{[^}]*\} (\S+)$', text, re.M))


def measure(server):
    times, size, walks = [], 0, []
    previous = exchanges(server.request("GET", "/metrics").body)
    for _ in range(SCRAPES):
        started = time.perf_counter()
        reply = server.request("GET", "/metrics")
        times.append(time.perf_counter() - started)
        assert reply.status == 200, reply.body
        size = len(reply.body.encode())
        # The counters include the scrape before this one, not this one.
        now = exchanges(reply.body)
        walks.append(now - previous)
        previous = now
    return statistics.median(times), size, statistics.median(walks)


def main():
    os.makedirs(WORK, exist_ok=True)
    for blocks, source in ((7, None), (1000, catalog(1000))):
        with Server(f"scrape-{blocks}", "--no-log", catalog=source) as server:
            seconds, size, walk = measure(server)
            print(f"{blocks:5d} blocks: scrape {seconds * 1000:.1f} ms (median of {SCRAPES}), "
                  f"{size} bytes, {walk:.0f} exchanges")


if __name__ == "__main__":
    main()
