# SPDX-License-Identifier: MIT
"""fbdump --watch against the emulated device: it states its pace, a change
made by patchbay's test session in another process comes out as one JSON
line, and nothing is printed while nothing changes. Bounded in time."""

import json
import os
import queue
import subprocess
import threading
import time
import unittest

FBEMU = os.environ["FBEMU"]
FBDUMP = os.environ["FBDUMP"]
PATCHBAY = os.environ["PATCHBAY"]
WORK = os.environ["WORK"]


def lines_of(stream):
    """A queue that gets each line of `stream` as it comes."""
    lines = queue.Queue()

    def read():
        for line in stream:
            lines.put(line)

    threading.Thread(target=read, daemon=True).start()
    return lines


def line_within(lines, seconds):
    """The next line, or None after `seconds`."""
    try:
        return lines.get(timeout=seconds)
    except queue.Empty:
        return None


class WatchTest(unittest.TestCase):
    def test_changes_by_another_process_come_out_as_lines(self):
        os.makedirs(WORK, exist_ok=True)
        state = os.path.join(WORK, "watch.json")
        watcher = subprocess.Popen([FBEMU, "--state", state, "--fresh", "run", "--", FBDUMP, "--watch"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        out, err = lines_of(watcher.stdout), lines_of(watcher.stderr)
        try:
            stated = line_within(err, 30)
            self.assertRegex(stated, r"^fbdump: watching the network, reading it every \d+ ms")
            self.assertIsNone(line_within(out, 1.5))  # nothing changed
            session = "6\ngain\nwatched\n8\nvolume\nlevel\nfloat\n0.125\n9\nosc1\nmix\nout\nin4\n11\n"
            subprocess.run([FBEMU, "--state", state, "run", "--", PATCHBAY, "-c", "test"], input=session,
                           capture_output=True, text=True, timeout=60, check=True)
            # However the readings fell, the lines add up to the session's changes.
            lines = []
            wanted = {"added": ["watched"], "property": True, "connections": [{"from": "osc1.out", "to": "mix.in4"}]}

            def seen():
                return {
                    "added": [b["name"] for c in lines for b in c.get("blocks_added", [])],
                    "property": {"block": "volume", "name": "level", "value": 0.125} in
                                [p for c in lines for p in c.get("properties", [])],
                    "connections": [x for c in lines for x in c.get("connections_added", [])],
                }

            deadline = time.monotonic() + 30
            while seen() != wanted and time.monotonic() < deadline:
                line = line_within(out, 1)
                if line:
                    lines.append(json.loads(line))
            self.assertEqual(seen(), wanted)
            self.assertTrue(all(c["etag"].startswith('"') for c in lines))
        finally:
            watcher.kill()
            watcher.wait(timeout=30)
            watcher.stdout.close()
            watcher.stderr.close()

    def test_watch_does_not_go_with_dot(self):
        run = subprocess.run([FBEMU, "--state", os.path.join(WORK, "dot.json"), "run", "--", FBDUMP, "--watch",
                              "--dot"], capture_output=True, text=True, timeout=60)
        self.assertEqual(run.returncode, 2)
        self.assertIn("--dot", run.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
