"""The README's start command, run as a newcomer runs it: `tools/start.sh --demo` with no
display, against a Wine folder that holds no prefix yet. It must reach a running program with
its tray icon, show the balloon through a Get in the tray, save its screenshot and print the
texts, and, stopped by a Ctrl-C or a SIGTERM, leave nothing behind. It must do so on a machine
whose Wine has no 32-bit half that runs, too (tests/harness/wine32.py hides it)."""

import os
import re
import select
import signal
import socket
import subprocess
import sys
import time

import pytest
from PIL import Image

import processes
from make_pages import SAMPLE

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
READY = "Ctrl-C ends Cantivo and everything this command started."
# The first run makes the Wine prefix (about 15 s) and starts Wine cold; the build is reused.
FIRST_RUN_S = 300
STOP_S = 60
FILL = (206, 255, 255)


WINE32 = [sys.executable, os.path.join(ROOT, "tests", "harness", "wine32.py")]


class StartCommand:
    """The command; wrap runs it through another that becomes it (wine32.py's hidden)."""

    def __init__(self, wine_dir, wrap=()):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["CANTIVO_WINE_DIR"] = wine_dir
        self.prefix = os.path.join(wine_dir, "prefix-run")
        # A process group of its own, as a shell gives a command it starts.
        self.process = subprocess.Popen(list(wrap) + ["bash", os.path.join(ROOT, "tools", "start.sh"), "--demo"],
                                        cwd=ROOT, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        start_new_session=True)
        self.lines = []
        self._buffer = b""

    def _read(self, wait):
        """Takes in what it prints within wait seconds: the bytes, b"" once its output has
        ended, None when nothing came."""
        out = self.process.stdout.fileno()
        if not select.select([out], [], [], max(wait, 0))[0]:
            return None
        chunk = os.read(out, 65536)
        *done, self._buffer = (self._buffer + chunk).split(b"\n")
        if not chunk:
            done.append(self._buffer)
            self._buffer = b""
        self.lines += [d.decode("utf-8", "replace") for d in done if d or chunk]
        return chunk

    def read_until(self, line, timeout):
        deadline = time.monotonic() + timeout
        while line not in self.lines:
            if time.monotonic() >= deadline or self._read(deadline - time.monotonic()) == b"":
                raise AssertionError("no %r within %.0f s; it printed:\n%s" % (line, timeout, self.output()))
        return self.lines

    def rest(self, wait=0.5):
        """What it has printed, once its output has ended or nothing more comes within wait."""
        while self._read(wait):
            pass
        return self.output()

    def output(self):
        return "\n".join(self.lines)

    def value(self, pattern):
        for line in self.lines:
            match = re.search(pattern, line)
            if match:
                return match.group(1)
        raise AssertionError("nothing matches %r in:\n%s" % (pattern, self.output()))

    def children(self):
        """The command's own child processes (Xvfb, Wine's): they are the Python's children."""
        return [pid for pid in processes.pids() if processes.parent(pid) == self.process.pid]

    def kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()


def port_open(port):
    with socket.socket() as s:
        s.settimeout(2)
        return s.connect_ex(("127.0.0.1", port)) == 0


@pytest.fixture(scope="module")
def wine_dir(tmp_path_factory):
    """A Wine folder with no prefix in it yet, shared by the runs in order."""
    return str(tmp_path_factory.mktemp("first-run-wine"))


def check_demo_shown(command, first_run):
    """The command has started the program and shown the balloon through a Get."""
    command.read_until(READY, FIRST_RUN_S)
    printed = command.output()
    if first_run:
        assert "making the Wine prefix" in printed
    assert "Cantivo is running" in printed
    # The texts the balloon shows, as UTF-8 on the terminal.
    for name, text in [("time", SAMPLE["shown_time"]), ("main text", SAMPLE["main"]), ("sub text", SAMPLE["sub"])]:
        assert re.search(r"^\s+%s\s+%s$" % (name, re.escape(text)), printed, re.M), printed
    shot = os.path.join(ROOT, command.value(r"the balloon, 4 times enlarged: (\S+)"))
    with Image.open(shot) as image:
        colours = {colour for _, colour in image.convert("RGB").getcolors(1 << 20)}
    assert FILL in colours


def check_stopped_leaving_nothing(command, children, display, port, signum):
    """After signum was sent, the command ends by it and leaves nothing running."""
    try:
        status = command.process.wait(timeout=STOP_S)
    except subprocess.TimeoutExpired:
        raise AssertionError("still running %d s after the signal; it printed:\n%s"
                             % (STOP_S, command.rest())) from None
    assert status == 128 + signum
    assert [pid for pid in children if processes.alive(pid)] == []
    assert not os.path.exists("/tmp/.X11-unix/X" + display)
    assert processes.in_prefix(command.prefix) == []
    assert not port_open(port)


@pytest.mark.parametrize("stop", ["ctrl-c", "sigterm"])
def test_the_start_command_shows_the_demo_and_leaves_nothing_behind(wine_dir, stop):
    first_run = not os.path.isdir(os.path.join(wine_dir, "prefix-run"))
    command = StartCommand(wine_dir)
    try:
        check_demo_shown(command, first_run)

        display = command.value(r"the display is :(\d+)")
        port = int(command.value(r"the demo station: http://127\.0\.0\.1:(\d+)"))
        children = command.children()
        assert children and port_open(port)
        assert any(b"cantivo.exe" in b" ".join(processes.cmdline(pid)) for pid in processes.in_prefix(command.prefix))

        if stop == "ctrl-c":
            # A second start while this one runs says so and ends, and leaves this one be.
            second = StartCommand(wine_dir)
            assert second.process.wait(timeout=STOP_S) == 1
            assert "in use by another session" in second.rest(), second.output()
            assert [pid for pid in children if not processes.alive(pid)] == [] and port_open(port)

            os.killpg(command.process.pid, signal.SIGINT)
            check_stopped_leaving_nothing(command, children, display, port, signal.SIGINT)
        else:
            command.process.send_signal(signal.SIGTERM)
            check_stopped_leaving_nothing(command, children, display, port, signal.SIGTERM)
    finally:
        command.kill()


def test_without_a_32bit_wine_the_start_command_still_gets_and_the_32bit_run_is_not_run(tmp_path):
    """As on a machine whose kernel runs no i386 programs, wine32 installed or not: Wine's
    32-bit loader and the wine command that prefers it fail as they fail there. The 64-bit
    program is started, does a Get through the tray and is stopped, from a new Wine folder;
    the 32-bit end-to-end run is reported as not run, with the reason."""
    hidden = WINE32 + ["hidden", "--"]
    said = subprocess.run(hidden + WINE32 + ["status"], capture_output=True, text=True, timeout=STOP_S)
    assert said.returncode == 3, said
    assert said.stdout.startswith("32-bit programs do not run under Wine here: "), said
    assert "hidden" in said.stdout

    command = StartCommand(str(tmp_path / "wine"), wrap=hidden)
    try:
        check_demo_shown(command, first_run=True)
        display = command.value(r"the display is :(\d+)")
        port = int(command.value(r"the demo station: http://127\.0\.0\.1:(\d+)"))
        children = command.children()
        assert children and port_open(port)
        command.process.send_signal(signal.SIGTERM)
        check_stopped_leaving_nothing(command, children, display, port, signal.SIGTERM)
    finally:
        command.kill()
