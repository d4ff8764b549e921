# SPDX-License-Identifier: MIT
"""Many clients at once: 16 clients send 200 requests each, mixing reads (the
whole network one in ten, blocks) and writes (properties, connections); every reply is whole and right, and no write is lost. A client that
stalls mid-request does not hold the others up."""

import os
import socket
import threading
import time
import unittest

from fbweb_server import Server, block_of, value_of

CLIENTS = 16
# Fewer under qemu and the sanitizers, where every exchange is slow.
REQUESTS = int(os.environ.get("FBWEB_LOAD_REQUESTS", "200"))


def level_after(step):
    return step / 4  # exact as a float


class LoadTest(unittest.TestCase):
    def test_clients_at_once_lose_nothing(self):
        with Server("load", "--no-log") as server:
            for i in range(CLIENTS):
                for name in ("load%d" % i, "sink%d" % i):
                    self.assertEqual(server.request("POST", "/api/blocks", {"factory": "gain", "name": name}).status, 201)
            failures = []
            last_level = {}
            connected = {}

            def client(i):
                me, sink = "load%d" % i, "sink%d" % i
                link = {"from": me + ".out", "to": sink + ".in"}
                is_connected = False
                etag = None
                for step in range(REQUESTS):
                    kind = step % 5
                    if kind == 0 and step % 10 == 5:
                        reply = server.request("GET", "/api/blocks/" + me)
                        ok = reply.status == 200 and reply.json()["name"] == me
                    elif kind == 0:
                        reply = server.request("GET", "/api/network", headers={"If-None-Match": etag} if etag else {})
                        if reply.status == 200:
                            etag = reply.headers["ETag"]
                            ok = block_of(reply.json(), me) is not None
                        else:
                            ok = reply.status == 304
                    elif kind == 1:
                        reply = server.request("PATCH", "/api/blocks/%s/properties" % me, {"level": level_after(step)})
                        ok = reply.status == 200
                        last_level[i] = level_after(step)
                    elif kind == 2:
                        reply = server.request("GET", "/api/blocks/" + me)
                        ok = reply.status == 200 and reply.json()["properties"][0]["value"] == last_level[i]
                    elif kind == 3:
                        reply = server.request("DELETE" if is_connected else "POST", "/api/connections", link)
                        ok = reply.status == (200 if is_connected else 201)
                        is_connected = not is_connected
                    else:
                        reply = server.request("GET", "/api/blocks/" + sink)
                        ok = reply.status == 200 and reply.json()["inputs"][0]["connections"] == (
                            [me + ".out"] if is_connected else [])
                    if not ok:
                        failures.append((i, step, reply.status, reply.body[:200]))
                connected[i] = is_connected

            started = time.monotonic()
            threads = [threading.Thread(target=client, args=(i,)) for i in range(CLIENTS)]
            for t in threads:
                t.start()
            for t in threads:
                t.join(timeout=540)
            self.assertFalse(any(t.is_alive() for t in threads), "clients still running")
            print("%d requests in %.1f s" % (CLIENTS * REQUESTS, time.monotonic() - started))
            self.assertEqual(failures, [])
            net = server.network()
            for i in range(CLIENTS):
                self.assertEqual(value_of(net, "load%d" % i, "level"), last_level[i])
                self.assertEqual(block_of(net, "sink%d" % i)["inputs"][0]["connections"],
                                 ["load%d.out" % i] if connected[i] else [])

    def test_stalled_client_does_not_block_others(self):
        with Server("stall", "--no-log") as server:
            # Half a request, never finished, on as many connections as a few threads.
            stalled = []
            for _ in range(4):
                s = socket.create_connection(("127.0.0.1", server.port), timeout=10)
                s.sendall(b"PATCH /api/blocks/osc1/properties HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                          b"Content-Type: application/json\r\nContent-Length: 100\r\n\r\n{\"freq")
                stalled.append(s)
            for _ in range(20):
                self.assertEqual(server.request("GET", "/api/blocks/osc1").status, 200)
            for s in stalled:
                s.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
