# SPDX-License-Identifier: MIT
"""The workstation's side of `scripts/board run`: sends a command to the
board's agent (board/guest/agent.c) over a forwarded loopback port, passes
this process's standard input, writes the command's standard output and
standard error apart, and exits with the command's status.

    client.py PORT USER COMMAND [ARGS...]     (USER '' for root)
    client.py PORT --ready SECONDS            waits until the agent answers
"""
import os
import socket
import struct
import sys
import threading
import time


def connect(port):
    return socket.create_connection(("127.0.0.1", port), timeout=10)


def read_exact(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise EOFError("the board closed the connection")
        data += chunk
    return data


def pump_stdin(sock):
    try:
        while True:
            data = os.read(0, 65536)
            if not data:
                break
            sock.sendall(struct.pack("<I", len(data)) + data)
        sock.sendall(struct.pack("<I", 0))
    except OSError:
        pass


def run(port, user, argv):
    header = b"\0".join(a.encode() for a in [user] + argv) + b"\0"
    sock = connect(port)
    sock.settimeout(None)
    sock.sendall(struct.pack("<I", len(header)) + header)
    threading.Thread(target=pump_stdin, args=(sock,), daemon=True).start()
    outs = {1: sys.stdout.buffer, 2: sys.stderr.buffer}
    while True:
        stream, length = struct.unpack("<BI", read_exact(sock, 5))
        data = read_exact(sock, length)
        if stream == 3:
            return struct.unpack("<I", data)[0]
        try:
            outs[stream].write(data)
            outs[stream].flush()
        except BrokenPipeError:  # the reader stopped early (grep -q)
            outs[stream] = open(os.devnull, "wb")


def wait_ready(port, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            sock = connect(port)
            header = b"\0true\0"
            sock.sendall(struct.pack("<I", len(header)) + header + struct.pack("<I", 0))
            while True:
                stream, length = struct.unpack("<BI", read_exact(sock, 5))
                if stream == 3:
                    return 0
                read_exact(sock, length)
        except (OSError, EOFError, struct.error):
            time.sleep(0.2)
    return 1


def main():
    port = int(sys.argv[1])
    if sys.argv[2] == "--ready":
        return wait_ready(port, float(sys.argv[3]))
    try:
        return run(port, sys.argv[2], sys.argv[3:])
    except (OSError, EOFError) as e:
        print(f"board: {e}", file=sys.stderr)
        return 255


if __name__ == "__main__":
    sys.exit(main())
