# SPDX-License-Identifier: MIT
"""Clients that hold connections without finishing requests: half-open and
idle keep-alive connections from other loopback addresses do not hold up a
normal request, one address gets only its share of connections, a request's
headers have a deadline, and running out of descriptors does not stop the
server. Bounded in count (at most 1,200 connections) and time."""

import os
import resource
import socket
import statistics
import time
import unittest

import raw_clients as rc
from fbweb_server import Server

# A normal request's bound; wider under qemu and the sanitizers.
BOUND = float(os.environ.get("FBWEB_SLOW_BOUND", "0.2"))


def raise_descriptor_limit():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    return hard


def closed_by_server(sock, within):
    """Whether the server closes `sock` within `within` seconds."""
    sock.settimeout(within)
    try:
        while sock.recv(4096):
            pass
        return True
    except ConnectionResetError:
        return True
    except socket.timeout:
        return False


class SlowClientTest(unittest.TestCase):
    def assertAnsweredPromptly(self, port):
        times = []
        for _ in range(5):
            elapsed, status = rc.timed_request(port)
            self.assertEqual(status, 200)
            times.append(elapsed)
        self.assertLessEqual(statistics.median(times), BOUND, times)
        self.assertLessEqual(max(times), 10 * BOUND, times)

    def test_half_open_and_idle_connections_do_not_hold_up_others(self):
        if raise_descriptor_limit() < 1400:
            self.skipTest("fewer than 1400 descriptors allowed")
        with Server("slow", "--no-log") as server:
            half_open = rc.half_open(server.port, 200)
            self.assertAnsweredPromptly(server.port)
            idle = rc.idle_keep_alive(server.port, 1000, addresses=100)
            self.assertEqual(len(idle), 1000)
            self.assertAnsweredPromptly(server.port)
            # Still the same connections: one event loop, no thread each.
            self.assertLess(rc.threads(server.process.pid), 40)
            rc.close_all(idle + half_open)

    def test_one_address_gets_its_share(self):
        with Server("share", "--no-log", "--per-client", "4") as server:
            held = [rc.connect(server.port, "127.0.0.3") for _ in range(6)]
            for s in held:
                s.sendall(b"GET /api/blocks/osc1 HTTP/1.1\r\nHost: 127.0.0.1\r\n")
            refused = [s for s in held if closed_by_server(s, 1.0)]
            self.assertEqual(len(refused), 2)
            self.assertAnsweredPromptly(server.port)  # another address
            rc.close_all(held)

    def test_headers_have_a_deadline(self):
        with Server("deadline", "--no-log", "--header-timeout", "1") as server:
            late = rc.half_open(server.port, 1)[0]
            started = time.monotonic()
            self.assertTrue(closed_by_server(late, 10))
            self.assertGreaterEqual(time.monotonic() - started, 0.5)
            # An idle keep-alive connection goes the same way.
            idle = rc.idle_keep_alive(server.port, 1, addresses=1)[0]
            self.assertTrue(closed_by_server(idle, 10))
            rc.close_all([late, idle])

    def test_body_over_the_limit_is_refused(self):
        with Server("body", "--no-log") as server:
            s = rc.connect(server.port, "127.0.0.1")
            s.sendall(b"POST /api/blocks HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                      b"Content-Length: 17000000\r\n\r\n{")
            self.assertTrue(s.recv(4096).startswith(b"HTTP/1.1 413"))
            s.close()

    @unittest.skipIf(os.environ.get("FBWEB_SANITIZED"), "a sanitizer's runtime needs descriptors of its own")
    def test_running_out_of_descriptors_does_not_stop_serving(self):
        with Server("descriptors", "--no-log", "--header-timeout", "60") as server:
            keep = rc.connect(server.port, "127.0.0.1")
            resource.prlimit(server.process.pid, resource.RLIMIT_NOFILE, (64, 64))
            # More connections than the server has descriptors for, 8 per address.
            flood = []
            for i in range(80):
                try:
                    s = rc.connect(server.port, rc.source(i // 8))
                    s.sendall(b"GET / HTTP/1.1\r\n")
                    flood.append(s)
                except OSError:
                    pass
            time.sleep(0.5)
            # A connection it holds is still served (the page: the emulated
            # device itself needs descriptors for each exchange).
            keep.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            keep.settimeout(10)
            self.assertTrue(keep.recv(65536).startswith(b"HTTP/1.1 200"))
            rc.close_all(flood)
            # Once descriptors are free again, new connections are answered.
            deadline = time.monotonic() + 20
            status = None
            while status != 200 and time.monotonic() < deadline:
                status = rc.timed_request(server.port, timeout=5)[1]
            self.assertEqual(status, 200)
            keep.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
