# SPDX-License-Identifier: MIT
"""What one walk of the network costs fbweb, for the pace of its change
watcher (not a test): the time of GET /api/network, which is one walk, the
document and the reply, on the default network (7 blocks) and on one grown
to N blocks by a chain of gains, each fed by the one before. Loopback only,
bounded (ROUNDS requests per size).

    FBEMU=build/native/emu/fbemu FBWEB=build/native/fbweb/fbweb WORK=/tmp/walk \\
        python3 bench/fbweb_walk.py [N]"""

import http.client
import json
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "fbweb"))
from fbweb_server import Server  # noqa: E402  (the tests' server runner)

BLOCKS = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
ROUNDS = 20


def walk_times(conn):
    times = []
    for _ in range(ROUNDS):
        started = time.monotonic()
        conn.request("GET", "/api/network")
        body = conn.getresponse().read()
        times.append(time.monotonic() - started)
    return times, len(body)


def grow(conn, blocks):
    headers = {"Content-Type": "application/json"}
    previous = "volume"
    for i in range(blocks - 7):
        name = "stage%d" % i
        for path, body in (("/api/blocks", {"factory": "gain", "name": name}),
                           ("/api/connections", {"from": previous + ".out", "to": name + ".in"})):
            conn.request("POST", path, body=json.dumps(body), headers=headers)
            res = conn.getresponse()
            res.read()
            if res.status != 201:
                raise RuntimeError("%s %s: %d" % (path, name, res.status))
        previous = name


def main():
    with Server("walk", "--no-log") as server:
        conn = http.client.HTTPConnection("127.0.0.1", server.port, timeout=120)
        for blocks in (7, BLOCKS):
            if blocks > 7:
                grow(conn, blocks)
            times, size = walk_times(conn)
            median = statistics.median(times)
            print("%5d blocks (%7d bytes): walk median %6.1f ms, worst %6.1f ms -> watch every %d ms"
                  % (blocks, size, median * 1000, max(times) * 1000, max(500, int(median * 20 * 1000))))


if __name__ == "__main__":
    main()
