# SPDX-License-Identifier: MIT
"""GET /api/events: a change made by another process reaches an open stream
as one change event; 100 streams at once while normal requests are
answered, without a thread each; streams the clients close are freed; the
token rule holds. Loopback only, bounded in count and time."""

import json
import os
import subprocess
import time
import unittest

import raw_clients as rc
from fbweb_server import FBEMU, WORK, Server

PATCHBAY = os.environ["PATCHBAY"]
BOUND = float(os.environ.get("FBWEB_SLOW_BOUND", "0.2"))


def hello_etag(stream):
    event = stream.next_event()
    assert event["event"] == "hello", event
    return json.loads(event["data"])["etag"]


def next_change(stream, timeout=20):
    """The next change event (keep-alive comments skipped)."""
    deadline = time.monotonic() + timeout
    while True:
        event = stream.next_event(max(0.1, deadline - time.monotonic()))
        if event.get("event") == "change":
            return event


class EventsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = Server("events", "--no-log")

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def test_a_change_by_another_process_reaches_the_stream(self):
        stream = rc.EventStream(self.server.port)
        self.assertEqual(stream.status, 200)
        self.assertIn("content-type: text/event-stream", stream.headers)
        before = hello_etag(stream)
        self.assertEqual(before, self.server.request("GET", "/api/network").headers["ETag"])
        # The test session of patchbay: create a gain, write the volume's level.
        session = "6\ngain\nwatched\n8\nvolume\nlevel\nfloat\n0.125\n11\n"
        subprocess.run([FBEMU, "--state", self.server.state, "run", "--", PATCHBAY, "-c", "test"], input=session,
                       capture_output=True, text=True, timeout=60, check=True)
        change = next_change(stream)
        data = json.loads(change["data"])
        current = self.server.request("GET", "/api/network").headers["ETag"]
        self.assertEqual((data["etag"], change["id"]), (current, current.strip('"')))
        added = data["blocks_added"]
        self.assertEqual([(b["factory"], b["name"]) for b in added], [("gain", "watched")])
        self.assertEqual(added[0]["inputs"], [{"name": "in", "connections": []}])
        self.assertIn({"block": "volume", "name": "level", "value": 0.125}, data["properties"])
        self.assertNotIn("blocks_removed", data)
        stream.close()

    def test_hundred_streams_while_requests_are_answered(self):
        pid = self.server.process.pid
        threads_before = rc.threads(pid)
        descriptors_before = rc.open_descriptors(pid)
        streams = [rc.EventStream(self.server.port, rc.source(i % 10)) for i in range(100)]
        etags = {hello_etag(s) for s in streams}
        self.assertEqual(len(etags), 1)
        self.assertLessEqual(rc.threads(pid), threads_before)
        times = [rc.timed_request(self.server.port)[0] for _ in range(5)]
        self.assertLessEqual(sorted(times)[2], BOUND, times)
        link = {"from": "osc1.out", "to": "mix.in4"}
        self.assertEqual(self.server.request("POST", "/api/connections", link).status, 201)
        for s in streams:
            data = json.loads(next_change(s)["data"])
            self.assertEqual(data["connections_added"], [{"from": "osc1.out", "to": "mix.in4"}])
        self.assertEqual(self.server.request("DELETE", "/api/connections", link).status, 200)
        # Closed by their clients, the streams give back their descriptors.
        rc.close_all(s.sock for s in streams)
        deadline = time.monotonic() + 10
        while rc.open_descriptors(pid) > descriptors_before and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertLessEqual(rc.open_descriptors(pid), descriptors_before)

    def test_other_requests_on_a_stream_end_it(self):
        stream = rc.EventStream(self.server.port)
        hello_etag(stream)
        stream.sock.sendall(b"GET /api/network HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        with self.assertRaises(EOFError):
            next_change(stream, timeout=5)
        stream.close()


class EventsAccessTest(unittest.TestCase):
    def test_a_stream_needs_the_token(self):
        os.makedirs(WORK, exist_ok=True)
        path = os.path.join(WORK, "events-token")
        with open(path, "w") as f:
            f.write("t0ken\n")
        os.chmod(path, 0o600)
        with Server("events-token", "--no-log", "--token-file", path) as server:
            self.assertEqual(rc.EventStream(server.port).status, 401)
            stream = rc.EventStream(server.port, headers="Authorization: Bearer t0ken\r\n")
            self.assertEqual(stream.status, 200)
            hello_etag(stream)
            stream.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
