# SPDX-License-Identifier: MIT
"""The board's terminal mode, driven through a pseudo-terminal here as a
person at a keyboard would: board/client.py --tty against the agent of a
running board (127.0.0.1:PORT), and the mode without a terminal unchanged.

    /usr/bin/python3 tests/board/terminal_test.py PORT

PORT defaults to the running board's (${BOARD_DIR:-build/board/run}/port).
Every wait is bounded; the whole run is stopped after 300 s.
"""
import fcntl
import os
import re
import select
import signal
import socket
import struct
import subprocess
import sys
import termios
import threading
import time
import unittest

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CLIENT = [sys.executable, os.path.join(TOP, "board", "client.py")]
PORT = 0


def set_size(fd, rows, cols):
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", rows, cols, 0, 0))


class Terminal:
    """board/client.py on a terminal of its own (its controlling one)."""

    def __init__(self, *args, port=None, rows=37, cols=101):
        self.master, self.slave = os.openpty()
        set_size(self.slave, rows, cols)
        self.original = termios.tcgetattr(self.slave)
        self.output = b""
        self.count = 0
        self.proc = subprocess.Popen(
            CLIENT + [str(port or PORT)] + list(args),
            stdin=self.slave, stdout=self.slave, stderr=self.slave,
            env=dict(os.environ, TERM="vt220"), start_new_session=True,
            preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))

    def send(self, text):
        os.write(self.master, text.encode())

    def expect(self, pattern, timeout=20):
        """Waits for PATTERN in the output not yet matched; returns the match."""
        deadline = time.monotonic() + timeout
        while True:
            m = re.search(pattern.encode(), self.output)
            if m:
                self.output = self.output[m.end():]
                return m
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.master], [], [], left)[0]:
                raise AssertionError(f"no {pattern!r} in {self.output[-400:]!r}")
            try:
                self.output += os.read(self.master, 65536)
            except OSError:  # the client has ended
                raise AssertionError(f"no {pattern!r} in {self.output[-400:]!r}")

    def run(self, command, answer, timeout=20):
        """Types COMMAND; the marker after it (computed by the shell, so the
        echo of the typing does not match) shows it finished."""
        self.count += 1
        self.send(f"{command}; echo done-$(({self.count}+1000))\r")
        m = self.expect(answer, timeout)
        self.expect(f"done-{self.count + 1000}", timeout)
        return m

    def wait_raw(self):
        for _ in range(100):
            if not termios.tcgetattr(self.slave)[3] & termios.ICANON:
                return
            time.sleep(0.05)
        raise AssertionError("the client never put its terminal in raw mode")

    def wait(self, timeout=20):
        return self.proc.wait(timeout)

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass


def board(*args, stdin=b""):
    return subprocess.run(CLIENT + [str(PORT), *args], input=stdin, capture_output=True, timeout=60)


class TerminalSession(unittest.TestCase):
    def setUp(self):
        self.t = Terminal("", "--tty", "sh")
        self.addCleanup(self.t.close)
        self.t.run("echo ready", "ready")

    def test_a_terminal_of_its_own_with_this_sides_settings(self):
        self.t.run("tty", r"/dev/pts/\d+")
        self.t.run("stty size", r"\r\n37 101\r\n")
        self.t.run('echo "term=$TERM"', r"term=vt220\r\n")
        # Field 7 of stat: the controlling terminal of the shell (0: none).
        self.t.run('echo "ctty=$(cut -d" " -f7 /proc/$$/stat)"', r"ctty=[1-9]\d*\r\n")
        self.t.send("exit 7\r")
        self.assertEqual(self.t.wait(), 7)
        self.assertEqual(termios.tcgetattr(self.t.slave), self.t.original)

    def test_window_size_follows(self):
        self.t.wait_raw()
        set_size(self.t.slave, 50, 132)  # SIGWINCH to the client
        for _ in range(20):
            time.sleep(0.2)
            if self.t.run("stty size", r"\r\n(\d+ \d+)\r\n").group(1) == b"50 132":
                break
        else:
            self.fail("the new window size never reached the board")

    def test_full_screen_editor(self):
        self.t.send("vi /tmp/typed\r")
        time.sleep(1)
        self.t.send("ihello from vi\x1b")  # Escape leaves insert mode
        time.sleep(0.3)
        self.t.send(":wq\r")
        self.t.run("cat /tmp/typed", r"\r\nhello from vi\r\n")

    def test_ctrl_c_and_ctrl_z_reach_the_foreground_job(self):
        self.t.run("echo go-$((1+1))", "go-2")
        begin = time.monotonic()
        self.t.send("sleep 100\r")
        time.sleep(1)
        self.t.send("\x03")
        self.t.run("echo status-$?", "status-130")
        self.assertLess(time.monotonic() - begin, 15)
        self.t.send("sleep 101\r")
        time.sleep(1)
        self.t.send("\x1a")
        self.t.expect(r"Stopped\s+sleep 101")
        self.t.send("fg\r")  # back in the foreground, Ctrl-C reaches it again
        self.t.expect(r"sleep 101")
        time.sleep(1)
        self.t.send("\x03")
        self.t.run("echo status-$?", "status-130")
        self.t.send("exit\r")
        self.assertEqual(self.t.wait(), 0)


class TerminalEnds(unittest.TestCase):
    def test_input_closed_ends_the_shell(self):
        # Standard input a pipe, closed once the shell has read a line: the
        # end of input types the terminal's end-of-file character.
        p = subprocess.Popen(CLIENT + [str(PORT), "", "--tty", "sh"], stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE)
        self.addCleanup(p.kill)
        p.stdin.write(b"echo piped-$((4+4))\n")
        p.stdin.flush()
        out = b""
        deadline = time.monotonic() + 20
        while b"piped-8" not in out and time.monotonic() < deadline:
            if select.select([p.stdout], [], [], 1)[0]:
                out += os.read(p.stdout.fileno(), 4096)
        time.sleep(0.5)
        p.stdin.close()
        self.assertEqual(p.wait(20), 0)

    def test_all_output_arrives_before_the_status(self):
        # cat ends with much of its output still in the terminal's buffers.
        for _ in range(3):
            p = board("", "--tty", "sh", "-c", "seq 1 20000 >/tmp/lines; exec cat /tmp/lines")
            self.assertEqual(p.returncode, 0)
            self.assertEqual(p.stdout.split(b"\r\n")[-2:], [b"20000", b""])
            self.assertEqual(len(p.stdout.split()), 20000)

    def test_killed_client_restores_its_terminal_and_hangs_up(self):
        t = Terminal("", "--tty", "sleep", "4242")
        self.addCleanup(t.close)
        t.wait_raw()
        t.proc.send_signal(signal.SIGTERM)
        self.assertEqual(t.proc.wait(20), -signal.SIGTERM)
        self.assertEqual(termios.tcgetattr(t.slave), t.original)
        for _ in range(50):
            if board("", "sh", "-c", "ps | grep -q '[s]leep 4242'").returncode == 1:
                break
            time.sleep(0.2)
        else:
            self.fail("the command outlived its client")

    def test_user_owns_the_terminal(self):
        t = Terminal("board", "--tty", "sh")
        self.addCleanup(t.close)
        t.run('echo "who=$(id -un) owner=$(stat -c %U "$(tty)")"', r"who=board owner=board\r\n")
        t.run("echo $HOME", r"/home/board\r\n")
        t.send("exit\r")
        self.assertEqual(t.wait(), 0)


class FakeAgent:
    """An agent on the loopback that records the request and hangs up."""

    def __init__(self):
        self.server = socket.create_server(("127.0.0.1", 0))
        self.server.settimeout(20)
        self.port = self.server.getsockname()[1]
        self.request = None
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        with self.server, self.server.accept()[0] as c:
            c.settimeout(20)
            length = struct.unpack("<I", c.recv(4))[0]
            data = b""
            while len(data) < length:
                data += c.recv(length - len(data))
            self.request = data.split(b"\0")[:-1]
            time.sleep(0.5)


class ClientSide(unittest.TestCase):
    def test_request_and_terminal_restored_when_the_board_hangs_up(self):
        agent = FakeAgent()
        t = Terminal("board", "--tty", "--", "--tty", port=agent.port, rows=12, cols=34)
        self.addCleanup(t.close)
        t.wait_raw()
        self.assertEqual(t.wait(), 255)
        agent.thread.join(20)
        self.assertEqual(agent.request, [b"-tty", b"-term=vt220", b"-size=12x34", b"board", b"--tty"])
        self.assertEqual(termios.tcgetattr(t.slave), t.original)


class WithoutTerminal(unittest.TestCase):
    def test_streams_apart_input_passed_status_kept(self):
        p = board("", "sh", "-c", "echo out; echo err >&2; exit 3")
        self.assertEqual((p.returncode, p.stdout, p.stderr), (3, b"out\n", b"err\n"))
        p = board("", "--", "sh", "-c", "tty; wc -c", stdin=b"x" * 100000)
        self.assertEqual((p.returncode, p.stdout.split()), (0, [b"not", b"a", b"tty", b"100000"]))

    def test_unknown_option_refused(self):
        with socket.create_connection(("127.0.0.1", PORT), timeout=20) as s:
            header = b"-bogus\0\0true\0"
            s.sendall(struct.pack("<I", len(header)) + header)
            data = b""
            while chunk := s.recv(4096):
                data += chunk
        self.assertIn(b"unknown option -bogus", data)
        self.assertTrue(data.endswith(b"\x03\x04\0\0\0\x7f\0\0\0"))


def main():
    global PORT
    args = sys.argv[1:]
    if args and args[0].isdigit():
        PORT = int(args.pop(0))
    else:
        state = os.environ.get("BOARD_DIR", os.path.join(TOP, "build", "board", "run"))
        with open(os.path.join(state, "port")) as f:
            PORT = int(f.read())
    signal.alarm(300)
    unittest.main(argv=[sys.argv[0]] + args, verbosity=2)


if __name__ == "__main__":
    main()
