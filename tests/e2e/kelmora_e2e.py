"""End-to-end tests of the built kelmora program.

Usage: kelmora_e2e.py --expected FILE --platform posix|windows [--objdump TOOL]
                      SUITE -- COMMAND...

COMMAND runs the program (an emulator's command line, then the program). The
expected file is the report written by hand for the build's ABI.
"""

import argparse
import os
import pty
import re
import select
import signal
import struct
import subprocess
import sys
import termios
import time
import unittest
import xml.etree.ElementTree as ElementTree

ARGS = None

# Wine creates its prefix on first start and starts 32-bit programs slowly
# under emulation; nothing here waits that long on a healthy build otherwise.
START_TIMEOUT = 600
KEY_WAIT_PROOF = 0.5

COLOURS = {"[OK]": "\x1b[92m", "[SMALL]": "\x1b[91m", "[HIGH]": "\x1b[93m"}


def expected_report():
    with open(ARGS.expected, "rb") as f:
        return f.read()


def coloured_terminal_text(report):
    """The report as a POSIX terminal receives it: each tag in its colour, the
    neutral sequence after the line end, and line ends as the pty sends them."""
    text = report.decode("ascii").replace("\r\n", "\n")
    out = []
    for line in text.split("\n")[:-1]:
        tag = re.search(r"\t(\[[A-Z]+\])$", line)
        if tag:
            line = line[: tag.start()] + COLOURS[tag.group(1)] + line[tag.start():]
            out.append(line + "\r\n\x1b[0m")
        else:
            out.append(line + "\r\n")
    return "".join(out).encode("ascii")


def read_until(fd, done, timeout):
    """Reads from fd until done(data) holds; fails on timeout or end of data."""
    data = b""
    deadline = time.monotonic() + timeout
    while not done(data):
        left = deadline - time.monotonic()
        if left <= 0:
            raise AssertionError(f"timed out; got so far: {data!r}")
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                chunk = b""
            if not chunk:
                raise AssertionError(f"output ended early: {data!r}")
            data += chunk
    return data


class ProgramCase(unittest.TestCase):
    def start(self, extra_args=(), **popen):
        proc = subprocess.Popen(ARGS.command + list(extra_args), **popen)
        self.addCleanup(self.reap, proc)
        return proc

    @staticmethod
    def reap(proc):
        if proc.poll() is None:
            proc.kill()
        proc.wait()
        for stream in (proc.stdin, proc.stdout, proc.stderr):
            if stream:
                stream.close()

    def assert_still_waiting(self, proc):
        time.sleep(KEY_WAIT_PROOF)
        self.assertIsNone(proc.poll(), "the program ended without a key press")


class Redirected(ProgramCase):
    """Standard output to a pipe: the report's text alone, byte for byte."""

    def run_with_key(self, extra_args):
        proc = self.start(extra_args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE)
        expected = expected_report()
        got = read_until(proc.stdout.fileno(), lambda d: len(d) >= len(expected),
                         START_TIMEOUT)
        self.assert_still_waiting(proc)
        proc.stdin.write(b"\n")
        proc.stdin.flush()
        rest, errors = proc.communicate(timeout=START_TIMEOUT)
        self.assertEqual(got + rest, expected)
        self.assertEqual(proc.returncode, 0)
        if ARGS.platform == "posix":
            self.assertEqual(errors, b"")

    def test_report_is_exact_and_waits_for_a_key(self):
        self.run_with_key([])

    def test_arguments_change_nothing(self):
        self.run_with_key(["--help", "-v", "two words", "/?"])


class TerminalCase(ProgramCase):
    """The program on a pseudo-terminal: standard input, output and error."""

    def start_on_terminal(self):
        master, slave = pty.openpty()
        self.addCleanup(os.close, master)
        self.addCleanup(os.close, slave)
        self.master, self.slave = master, slave
        self.settings = termios.tcgetattr(slave)
        return self.start(stdin=slave, stdout=slave, stderr=slave, start_new_session=True)

    def wait_for_key_wait(self, proc):
        """Waits until the program has taken the terminal for its silent wait."""
        deadline = time.monotonic() + START_TIMEOUT
        while termios.tcgetattr(self.slave)[3] & termios.ECHO:
            self.assertIsNone(proc.poll(), "the program ended before its key wait")
            self.assertLess(time.monotonic(), deadline, "no silent key wait began")
            time.sleep(0.02)
        self.assert_still_waiting(proc)

    def pending(self, fd):
        """Whatever fd has to read right now, without waiting."""
        data = b""
        while select.select([fd], [], [], 0.2)[0]:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                break
            if not chunk:
                break
            data += chunk
        return data

    def unread_input(self):
        """Bytes typed at the terminal that nobody has read."""
        settings = termios.tcgetattr(self.slave)
        raw = termios.tcgetattr(self.slave)
        raw[3] &= ~termios.ICANON
        raw[6][termios.VMIN] = 0
        raw[6][termios.VTIME] = 0
        termios.tcsetattr(self.slave, termios.TCSANOW, raw)
        try:
            return os.read(self.slave, 1024)
        finally:
            termios.tcsetattr(self.slave, termios.TCSANOW, settings)


class Terminal(TerminalCase):
    KEYS = {
        "letter": b"x",
        "arrow": b"\x1b[A",
        "function key": b"\x1b[15~",
        "non-ASCII character": "\u00e9".encode(),
        "Ctrl-C": b"\x03",
        "Ctrl-Z": b"\x1a",
    }

    def test_tags_coloured_then_silent_wait_for_any_key(self):
        expected = coloured_terminal_text(expected_report())
        for name, key in self.KEYS.items():
            with self.subTest(key=name):
                proc = self.start_on_terminal()
                shown = read_until(self.master, lambda d: len(d) >= len(expected), START_TIMEOUT)
                self.assertEqual(shown, expected)
                self.wait_for_key_wait(proc)

                os.write(self.master, key)
                self.assertEqual(proc.wait(timeout=START_TIMEOUT), 0)
                self.assertEqual(self.pending(self.master), b"", "the key was echoed")
                self.assertEqual(self.unread_input(), b"", "part of the key was left behind")
                self.assertEqual(termios.tcgetattr(self.slave), self.settings)

    def test_signal_during_wait_restores_terminal(self):
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGINT):
            with self.subTest(signal=sig.name):
                proc = self.start_on_terminal()
                self.wait_for_key_wait(proc)
                proc.send_signal(sig)
                proc.wait(timeout=START_TIMEOUT)
                self.assertEqual(termios.tcgetattr(self.slave), self.settings)
                if not ARGS.command[0].startswith("qemu"):
                    # qemu-user reports a guest's death by signal its own way.
                    self.assertEqual(proc.returncode, -sig)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--expected", required=True)
    parser.add_argument("--platform", choices=["posix", "windows"], required=True)
    parser.add_argument("--objdump")
    parser.add_argument("suite")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    ARGS = parser.parse_args()
    if ARGS.command[:1] == ["--"]:
        ARGS.command = ARGS.command[1:]
    unittest.main(argv=[sys.argv[0], "-v", ARGS.suite])
