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
IDLE_PROOF = 1.0

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


def session_cpu_time(session):
    """CPU ticks used so far by the processes of a session."""
    ticks = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[3]) == session:
            ticks += int(fields[11]) + int(fields[12])
    return ticks


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
        proc = subprocess.Popen(ARGS.command + list(extra_args), start_new_session=True, **popen)
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
        """The program and all it started (Wine's command interpreter, say) sit
        idle, blocked on the key, and stay so."""
        deadline = time.monotonic() + START_TIMEOUT
        last = session_cpu_time(proc.pid)
        while True:
            time.sleep(IDLE_PROOF)
            self.assertIsNone(proc.poll(), "the program ended without a key press")
            now = session_cpu_time(proc.pid)
            if now == last:
                return
            self.assertLess(time.monotonic(), deadline, "the program never settled to wait")
            last = now


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


class Faults(ProgramCase):
    """Output that cannot be written, input that cannot be read: the program
    writes what it can, says nothing, and exits 0."""

    def run_program(self, stdout, close=()):
        def close_fds():
            for fd in close:
                os.close(fd)

        proc = self.start(stdin=subprocess.DEVNULL, stdout=stdout, stderr=subprocess.PIPE,
                          preexec_fn=close_fds)
        _, errors = proc.communicate(timeout=60)
        self.assertEqual(errors, b"")
        self.assertEqual(proc.returncode, 0)

    def test_full_disk(self):
        with open("/dev/full", "wb") as full:
            self.run_program(full)

    def test_pipe_without_reader(self):
        reader, writer = os.pipe()
        os.close(reader)
        try:
            self.run_program(writer)
        finally:
            os.close(writer)

    def test_closed_output_and_input(self):
        for name, fds in {"output": (1,), "output and input": (0, 1)}.items():
            with self.subTest(closed=name):
                self.run_program(subprocess.DEVNULL, close=fds)


class TerminalCase(ProgramCase):
    """The program on a pseudo-terminal: standard input, output and error."""

    def start_on_terminal(self, echo=True):
        master, slave = pty.openpty()
        self.addCleanup(os.close, master)
        self.addCleanup(os.close, slave)
        self.master, self.slave = master, slave
        if not echo:
            settings = termios.tcgetattr(slave)
            settings[3] &= ~termios.ECHO
            termios.tcsetattr(slave, termios.TCSANOW, settings)
        self.settings = termios.tcgetattr(slave)
        return self.start(stdin=slave, stdout=slave, stderr=slave)

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
                self.assertEqual(proc.returncode, -sig)


def wine_screen(output):
    """What Wine's console draws on a terminal, as plain text and the colour
    changes in order. Wine redraws the screen with cursor moves rather than
    sending the program's bytes, so blanks and tabs arrive as moves."""
    text = output.decode("ascii")
    text = re.sub(r"\x1b\[\?25[lh]|\x1b\[K", "", text)
    text = re.sub(r"\x1b\[(\d+)C", lambda m: " " * int(m.group(1)), text)
    colours = re.findall(r"\x1b\[[\d;]*m", text)
    text = re.sub(r"\x1b\[[\d;]*m", "", text).replace("\r", "")
    return text, colours


class WindowsTerminal(TerminalCase):
    """The Windows build on Wine's console, which speaks to a terminal."""

    def test_tags_coloured_then_silent_wait_for_a_key(self):
        report = expected_report().decode("ascii").replace("\r\n", "\n")
        tags = re.findall(r"\[[A-Z]+\]", report)
        # Wine's console leaves the terminal's own echo on; a Windows console
        # shows no key that a program reads without echo.
        proc = self.start_on_terminal(echo=False)

        shown = read_until(self.master, lambda d: d.count(b"]") >= len(tags), START_TIMEOUT)
        self.assert_still_waiting(proc)
        os.write(self.master, b"x")
        self.assertEqual(proc.wait(timeout=START_TIMEOUT), 0)
        shown += self.pending(self.master)

        text, colours = wine_screen(shown)
        self.assertEqual(text, "\n".join(line.expandtabs(8) for line in report.split("\n")))
        expected_colours = []
        for tag in tags:
            expected_colours += [COLOURS[tag], "\x1b[m"]
        self.assertEqual(colours, expected_colours)


def pe_resources(image):
    """The resources of a PE image as {(type, id): data}, for numeric ids."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[pe:pe + 4] == b"PE\0\0", "not a PE image"
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", image, directories + 2 * 8)[0]
    if resource_rva == 0:
        return {}
    table = optional + optional_size

    def offset(rva):
        for i in range(sections):
            size, address, _, raw = struct.unpack_from("<IIII", image, table + 40 * i + 8)
            if address <= rva < address + size:
                return raw + rva - address
        raise AssertionError(f"RVA {rva:#x} is in no section")

    base = offset(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", image, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", image, base + directory + 16 + 8 * i)
            yield name, target & 0x7FFFFFFF

    found = {}
    for kind, ids in entries(0):
        for ident, languages in entries(ids):
            for _, leaf in entries(languages):
                rva, size = struct.unpack_from("<II", image, base + leaf)
                found[(kind, ident)] = image[offset(rva):offset(rva) + size]
    return found


class WindowsBinary(unittest.TestCase):
    """What Windows sees of the executable before it runs it."""

    def setUp(self):
        with open(ARGS.command[-1], "rb") as f:
            self.image = f.read()

    def test_manifest_asks_for_no_elevation(self):
        manifests = {ident: data for (kind, ident), data in pe_resources(self.image).items()
                     if kind == 24}
        self.assertEqual(list(manifests), [1], "one process manifest, resource 1")
        namespace = "{urn:schemas-microsoft-com:asm.v3}"
        level = ElementTree.fromstring(manifests[1]).find(
            f"{namespace}trustInfo/{namespace}security/{namespace}requestedPrivileges/"
            f"{namespace}requestedExecutionLevel")
        self.assertIsNotNone(level)
        self.assertEqual(level.get("level"), "asInvoker")
        self.assertEqual(level.get("uiAccess"), "false")

    def test_imports_only_system_dlls(self):
        dump = subprocess.run([ARGS.objdump, "-p", ARGS.command[-1]], check=True,
                              capture_output=True, text=True).stdout
        imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
        self.assertIn("kernel32.dll", imported)
        self.assertLessEqual(imported, {"kernel32.dll", "msvcrt.dll"})


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
