# SPDX-License-Identifier: MIT
"""Starts fbweb against the emulated device and talks to it over 127.0.0.1
with Python's standard library: the harness of the fbweb tests."""

import json
import os
import signal
import subprocess
import threading
import urllib.error
import urllib.request

FBEMU = os.environ["FBEMU"]
FBWEB = os.environ["FBWEB"]
WORK = os.environ["WORK"]


def is_arm(program):
    with open(program, "rb") as f:
        header = f.read(20)
    return header[18] == 0x28


def bare_command(args):
    """fbweb without the emulator (no device), under qemu when it is ARM."""
    if is_arm(FBWEB):
        return ["qemu-arm-static", "-L", "/usr/arm-linux-gnueabihf", FBWEB, *args]
    return [FBWEB, *args]


class Reply:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers
        self.body = body

    def json(self):
        return json.loads(self.body)


class Server:
    """fbweb on a free loopback port, with a fresh emulated device whose
    state file is WORK/<name>.json; stopped with SIGTERM on exit."""

    def __init__(self, name, *args, device=True, catalog=None):
        self.state = os.path.join(WORK, name + ".json")
        os.makedirs(WORK, exist_ok=True)
        command = ["--listen", "127.0.0.1:0", *args]
        if device:
            extra = ["--catalog", catalog] if catalog else []
            command = [FBEMU, "--state", self.state, "--fresh", *extra, "run", "--", FBWEB, *command]
        else:
            command = bare_command(command)
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.lines = []
        first = self.process.stdout.readline()
        if not first.startswith("fbweb: listening on http://127.0.0.1:"):
            self.process.kill()
            raise RuntimeError("fbweb did not start: " + first + self.process.stderr.read())
        self.base = first.split()[-1].rstrip("/")
        self.port = int(self.base.rsplit(":", 1)[1])
        # With a token, the link to open follows.
        self.link = self.process.stdout.readline().strip() if "--token-file" in args else None
        self.reader = threading.Thread(target=self._read_log, daemon=True)
        self.reader.start()
        self.token = None

    def _read_log(self):
        for line in self.process.stdout:
            self.lines.append(line.rstrip("\n"))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self, sig=signal.SIGTERM):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        status = self.process.wait(timeout=30)
        self.reader.join(timeout=5)
        self.process.stdout.close()
        self.process.stderr.close()
        return status

    def request(self, method, path, body=None, headers=None, content_type="application/json", token=None):
        data = None
        all_headers = dict(headers or {})
        if body is not None:
            data = body if isinstance(body, (bytes, str)) else json.dumps(body)
            data = data.encode() if isinstance(data, str) else data
            if content_type:
                all_headers["Content-Type"] = content_type
        token = token or self.token
        if token:
            all_headers["Authorization"] = "Bearer " + token
        req = urllib.request.Request(self.base + path, data=data, method=method, headers=all_headers)
        try:
            # Generous: under load a request waits for every exchange queued before it.
            with urllib.request.urlopen(req, timeout=300) as res:
                return Reply(res.status, res.headers, res.read().decode())
        except urllib.error.HTTPError as e:
            return Reply(e.code, e.headers, e.read().decode())

    def network(self):
        reply = self.request("GET", "/api/network")
        assert reply.status == 200, reply.body
        return reply.json()


def block_of(document, name):
    for factory in document["factories"]:
        for block in factory["blocks"]:
            if block["name"] == name:
                return block
    return None


def value_of(document, block, prop):
    for p in block_of(document, block)["properties"]:
        if p["name"] == prop:
            return p["value"]
    raise KeyError(prop)
