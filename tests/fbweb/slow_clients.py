# SPDX-License-Identifier: MIT
"""Clients that cost a server without asking it anything: connections that
send half a request, idle keep-alive connections, and a timed normal request.
Every connection goes to 127.0.0.1 from a loopback source address."""

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
    """`count` connections spread over `addresses` source addresses, each
    having made one request and kept open. Returns the connections the
    server answered."""
    held = []
    for i in range(count):
        try:
            s = connect(port, source(i % addresses))
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


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def open_descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))
