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
