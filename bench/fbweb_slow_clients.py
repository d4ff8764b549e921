# SPDX-License-Identifier: MIT
"""How fbweb serves a normal request while other clients hold connections
(not a test; tests/fbweb/slow_client_test.py holds the bounds): the time of
a normal request with 50 and 200 half-open connections from 127.0.0.2, with
1,000 idle keep-alive connections over 100 addresses, and fbweb's resident
memory per idle connection. Loopback only; every wait bounded (30 s).

    FBEMU=build/native/emu/fbemu FBWEB=build/native/fbweb/fbweb WORK=/tmp/slow \\
        python3 bench/fbweb_slow_clients.py"""

import resource
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "fbweb"))
from fbweb_server import Server  # noqa: E402  (the tests' server runner)
import raw_clients as sc  # noqa: E402

ROUNDS = 5


def normal_times(port):
    times = [sc.timed_request(port)[0] for _ in range(ROUNDS)]
    return "median %.3f s, worst %.3f s" % (statistics.median(times), max(times))


def main():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    with Server("slow", "--no-log") as server:
        print("no other clients:          ", normal_times(server.port))
        for count in (50, 200):
            held = sc.half_open(server.port, count)
            print("%3d half-open:             " % count, normal_times(server.port))
            sc.close_all(held)
            time.sleep(1)
        before = sc.rss_kib(server.process.pid)
        idle = sc.idle_keep_alive(server.port, 1000)
        after = sc.rss_kib(server.process.pid)
        print("1000 idle keep-alive (%4d answered):" % len(idle), normal_times(server.port))
        if idle:
            print("memory per idle connection: %.1f KiB (RSS %d -> %d KiB)"
                  % ((after - before) / len(idle), before, after))
        sc.close_all(idle)


if __name__ == "__main__":
    main()
