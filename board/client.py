# SPDX-License-Identifier: MIT
"""The workstation's side of `scripts/board run` and `scripts/board shell`:
sends a command to the board's agent (board/guest/agent.c) over a forwarded
loopback port, passes this process's standard input, writes the command's
standard output and standard error apart, and exits with the command's
status (255: the board could not be reached).

    client.py PORT USER [--tty] [--] COMMAND [ARGS...]   (USER '' for root)
    client.py PORT --ready SECONDS           waits until the agent answers

With --tty the command runs on a terminal of its own in the board, with
this side's TERM and window size: keystrokes pass through as they are typed
(this terminal is in raw mode until the command ends, whatever ends it),
window-size changes follow, and the output comes as one stream.

The wire (little-endian numbers):
    to the agent:   u32 length, then NUL-ended fields: options (-tty,
                    -term=NAME, -size=ROWSxCOLS), USER, ARG0, ARG1, ...;
                    then standard input as frames (u32 length, bytes), a
                    frame of length 0 closing it; with -tty a length of
                    0xffffffff announces a window size: u16 rows, u16 columns
    from the agent: frames (u8 stream, u32 length, bytes): 1 standard output
                    (the terminal with -tty), 2 standard error, 3 the exit
                    status (u32; 128 + N: ended by signal N)
"""
import os
import select
import signal
import socket
import struct
import sys
import termios
import threading
import time
import tty

WINDOW_SIZE = 0xFFFFFFFF


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


def window_size():
    """(rows, columns) of this side's terminal, or None."""
    for fd in (0, 1, 2):
        try:
            size = os.get_terminal_size(fd)
            return size.lines, size.columns
        except OSError:
            continue
    return None


def pump_terminal(sock, resized):
    """Keystrokes and window sizes to the agent, from one thread so that
    frames never interleave; `resized` becomes readable on SIGWINCH."""
    try:
        sources = [0, resized]
        while True:
            ready, _, _ = select.select(sources, [], [])
            if resized in ready:
                os.read(resized, 64)
                size = window_size()
                if size:
                    sock.sendall(struct.pack("<IHH", WINDOW_SIZE, *size))
            elif 0 in ready:
                data = os.read(0, 65536)
                if data:
                    sock.sendall(struct.pack("<I", len(data)) + data)
                else:
                    sock.sendall(struct.pack("<I", 0))
                    sources.remove(0)
    except OSError:
        pass


class Ended(Exception):
    """This side got a signal that ends it."""

    def __init__(self, signum):
        super().__init__(signum)
        self.signum = signum


def receive(sock):
    outs = {1: sys.stdout.buffer, 2: sys.stderr.buffer}
    while True:
        stream, length = struct.unpack("<BI", read_exact(sock, 5))
        data = read_exact(sock, length)
        if stream == 3:
            return struct.unpack("<I", data)[0]
        if stream not in outs:
            continue
        try:
            outs[stream].write(data)
            outs[stream].flush()
        except BrokenPipeError:  # the reader stopped early (grep -q)
            outs[stream] = open(os.devnull, "wb")


def send_request(sock, options, user, argv):
    header = b"\0".join(a.encode() for a in options + [user] + argv) + b"\0"
    sock.sendall(struct.pack("<I", len(header)) + header)


def run(port, user, argv):
    sock = connect(port)
    sock.settimeout(None)
    send_request(sock, [], user, argv)
    threading.Thread(target=pump_stdin, args=(sock,), daemon=True).start()
    return receive(sock)


def run_tty(port, user, argv):
    options = ["-tty"]
    if os.environ.get("TERM"):
        options.append("-term=" + os.environ["TERM"])
    size = window_size()
    if size:
        options.append("-size=%dx%d" % size)
    sock = connect(port)
    sock.settimeout(None)
    send_request(sock, options, user, argv)

    resized, wake = os.pipe()
    os.set_blocking(wake, False)

    def on_resize(signum, frame):
        try:
            os.write(wake, b"w")
        except OSError:
            pass

    def on_end(signum, frame):
        raise Ended(signum)

    saved = termios.tcgetattr(0) if os.isatty(0) else None
    handlers = {s: signal.getsignal(s) for s in (signal.SIGWINCH, signal.SIGTERM, signal.SIGHUP, signal.SIGINT)}
    try:
        signal.signal(signal.SIGWINCH, on_resize)
        for s in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            signal.signal(s, on_end)
        if saved:
            tty.setraw(0, termios.TCSADRAIN)
        threading.Thread(target=pump_terminal, args=(sock, resized), daemon=True).start()
        return receive(sock)
    finally:
        if saved:
            termios.tcsetattr(0, termios.TCSADRAIN, saved)
        for s, h in handlers.items():
            signal.signal(s, h)


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
    args = sys.argv[1:]
    if len(args) < 2 or args[0] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if args and args[0] in ("-h", "--help") else 2
    port = int(args[0])
    if args[1] == "--ready":
        return wait_ready(port, float(args[2]))
    user, argv = args[1], args[2:]
    terminal = bool(argv) and argv[0] == "--tty"
    argv = argv[terminal:]
    if argv and argv[0] == "--":
        argv = argv[1:]
    if not argv:
        print("board: no COMMAND", file=sys.stderr)
        return 2
    try:
        return (run_tty if terminal else run)(port, user, argv)
    except Ended as e:
        # Ended as the signal would have ended it, the terminal restored.
        signal.signal(e.signum, signal.SIG_DFL)
        os.kill(os.getpid(), e.signum)
        return 128 + e.signum
    except (OSError, EOFError) as e:
        print(f"board: {e}", file=sys.stderr)
        return 255


if __name__ == "__main__":
    sys.exit(main())
