# SPDX-License-Identifier: MIT
"""Requests per second of fbweb against the emulated device, for the
figures in the documentation (not a test): GET /api/network answered 200 and
304, and a property write. Bounded: CLIENTS clients x REQUESTS requests per
figure, over keep-alive connections to 127.0.0.1 only.

    FBEMU=build/native/emu/fbemu FBWEB=build/native/fbweb/fbweb WORK=/tmp/rate \\
        python3 bench/fbweb_rate.py [CLIENTS [REQUESTS]]"""

import http.client
import json
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "fbweb"))
from fbweb_server import Server  # noqa: E402  (the tests' server runner)

CLIENTS = int(sys.argv[1]) if len(sys.argv) > 1 else 4
REQUESTS = int(sys.argv[2]) if len(sys.argv) > 2 else 500


def rate(server, method, path, body=None, headers=None, expect=200):
    failures = []

    def client():
        conn = http.client.HTTPConnection("127.0.0.1", server.port, timeout=30)
        for _ in range(REQUESTS):
            conn.request(method, path, body=body, headers=headers or {})
            res = conn.getresponse()
            res.read()
            if res.status != expect:
                failures.append(res.status)
        conn.close()

    threads = [threading.Thread(target=client) for _ in range(CLIENTS)]
    started = time.monotonic()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    elapsed = time.monotonic() - started
    if failures:
        raise RuntimeError("%s %s: unexpected statuses %s" % (method, path, sorted(set(failures))))
    return CLIENTS * REQUESTS / elapsed


def main():
    with Server("rate", "--no-log") as server:
        etag = server.request("GET", "/api/network").headers["ETag"]
        figures = [
            ("GET /api/network (200)", rate(server, "GET", "/api/network")),
            ("GET /api/network (304)", rate(server, "GET", "/api/network", headers={"If-None-Match": etag}, expect=304)),
            ("PATCH /api/blocks/volume/properties", rate(
                server, "PATCH", "/api/blocks/volume/properties", body=json.dumps({"level": 0.25}),
                headers={"Content-Type": "application/json"})),
        ]
        print("%d clients x %d requests each, keep-alive, 127.0.0.1" % (CLIENTS, REQUESTS))
        for name, value in figures:
            print("%-40s %8.0f requests/s" % (name, value))


if __name__ == "__main__":
    main()
