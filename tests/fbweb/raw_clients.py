# SPDX-License-Identifier: MIT
"""Clients on plain sockets for the fbweb tests and benchmarks: connections
that send half a request, idle keep-alive connections, a timed normal
request, event streams; and what the server process holds. Every
connection goes to 127.0.0.1 from a loopback source address."""

import http.client
import os
import socket
import time


def source(n):
    """The n-th loopback source address: 127.0.0.2 ... 127.0.0.251, 127.0.1.2 ..."""
    high, low = divmod(n, 250)
    return "127.0.%d.%d" % (high, low + 2)


def connect(port, address, timeout=10):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.settimeout(timeout)
    s.bind((address, 0))
    s.connect(("127.0.0.1", port))
    return s


def half_open(port, count, address="127.0.0.2"):
    """`count` connections from `address`, each holding a request line and one
    header, never the blank line. A connection the server refuses counts too."""
    held = []
    for _ in range(count):
        try:
            s = connect(port, address)
            s.sendall(b"GET /api/network HTTP/1.1\r\nHost: 127.0.0.1\r\n")
            held.append(s)
        except OSError:
            pass
    return held


def idle_keep_alive(port, count, addresses=100):
    """`count` connections spread over `addresses` source addresses from
    127.0.0.3 on, each having made one request and kept open. Returns the
    connections the server answered."""
    held = []
    for i in range(count):
        try:
            s = connect(port, source(1 + i % addresses))
            s.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            reply = s.recv(65536)
            if reply.startswith(b"HTTP/1.1 200"):
                held.append(s)
            else:
                s.close()
        except OSError:
            pass
    return held


def timed_request(port, path="/api/blocks/osc1", timeout=30):
    """Seconds a normal request from 127.0.0.1 takes on a new connection
    (`timeout` when it is not answered by then), and its status."""
    started = time.monotonic()
    try:
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
        conn.request("GET", path)
        res = conn.getresponse()
        res.read()
        conn.close()
        return time.monotonic() - started, res.status
    except OSError:
        return timeout, None


def close_all(sockets):
    for s in sockets:
        s.close()


def status_number(pid, field):
    """A number of the process's /proc status: "VmRSS" (KiB), "Threads"."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def rss_kib(pid):
    return status_number(pid, "VmRSS")


def threads(pid):
    return status_number(pid, "Threads")


def open_descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


class EventStream:
    """GET /api/events on its own connection, read event by event."""

    def __init__(self, port, address="127.0.0.1", headers=""):
        self.sock = connect(port, address)
        self.sock.sendall(("GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n%s\r\n" % headers).encode())
        self.pending = b""
        head = self._until(b"\r\n\r\n", 10)
        self.status = int(head.split(b" ", 2)[1])
        self.headers = head.decode("latin-1").lower()

    def _until(self, mark, timeout):
        deadline = time.monotonic() + timeout
        while mark not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no %r within %s s" % (mark, timeout))
            self.sock.settimeout(left)
            chunk = self.sock.recv(65536)
            if not chunk:
                raise EOFError("the server closed the stream")
            self.pending += chunk
        block, self.pending = self.pending.split(mark, 1)
        return block

    def next_event(self, timeout=10):
        """The next event as a dict of its fields ("event", "id", "data");
        comments are in "comments"."""
        fields = {"comments": []}
        for line in self._until(b"\n\n", timeout).decode().split("\n"):
            if line.startswith(":"):
                fields["comments"].append(line[1:].strip())
            elif ":" in line:
                name, value = line.split(":", 1)
                fields[name] = value[1:] if value.startswith(" ") else value
        return fields

    def close(self):
        self.sock.close()
