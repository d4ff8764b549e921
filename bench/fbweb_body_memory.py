# SPDX-License-Identifier: MIT
"""Peak memory of fbweb for large request bodies, for the figures in the
documentation (not a test): fbweb's VmHWM (/proc/PID/status) after one body
of SIZE bytes and, on a fresh server, after four sent at once. The body is a
property write {"cutoff": [0,0,...]} (or [0,{},{},...]) that is refused (a
list for a float property), so that only reading and checking it costs
memory. Talks
to 127.0.0.1 only; one server per figure.

    FBEMU=build/native/emu/fbemu FBWEB=build/native/fbweb/fbweb WORK=/tmp/mem \\
        python3 bench/fbweb_body_memory.py [SIZE_MIB ...]"""

import http.client
import sys
import threading
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "fbweb"))
from fbweb_server import Server  # noqa: E402  (the tests' server runner)

PATH = "/api/blocks/lowpass/properties"


# The element repeated in the array: numbers, the cheapest to write, and
# empty objects, the dearest to hold.
ELEMENTS = {"numbers": b",0", "objects": b",{}"}


def body_of(size, element):
    """{"cutoff":[0,...]} of exactly `size` bytes (size >= 13)."""
    head, tail = b'{"cutoff":[0', b"]}"
    count = (size - len(head) - len(tail)) // len(element)
    body = head + element * count + tail
    return body + b" " * (size - len(body))


def kib(pid, field):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(field + " missing")


def send(port, body, statuses):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
    try:
        conn.request("PATCH", PATH, body=body, headers={"Content-Type": "application/json"})
        statuses.append(conn.getresponse().status)
    except (ConnectionError, OSError) as e:  # a server that refuses early may close mid-body
        statuses.append(type(e).__name__)
    finally:
        conn.close()


def peak(body, clients):
    """(VmHWM at start, VmHWM after, statuses) in KiB for `clients` bodies at once."""
    with Server("memory", "--no-log") as server:
        pid = server.process.pid
        start = kib(pid, "VmHWM")
        statuses = []
        threads = [threading.Thread(target=send, args=(server.port, body, statuses)) for _ in range(clients)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        return start, kib(pid, "VmHWM"), kib(pid, "VmRSS"), sorted(map(str, statuses))


def main():
    sizes = [float(a) for a in sys.argv[1:]] or [16, 1]
    print("%-10s %-8s %-8s %10s %10s %10s  %s" % (
        "body", "array of", "at once", "start MiB", "peak MiB", "after MiB", "statuses"))
    for mib in sizes:
        for kind, element in ELEMENTS.items():
            body = body_of(int(mib * 1024 * 1024), element)
            for clients in (1, 4):
                start, high, held, statuses = peak(body, clients)
                print("%-10s %-8s %-8d %10.1f %10.1f %10.1f  %s" % (
                    "%g MiB" % mib, kind, clients, start / 1024, high / 1024, held / 1024, " ".join(statuses)))


if __name__ == "__main__":
    main()
