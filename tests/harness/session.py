"""One Wine session on one X display: the display (a private Xvfb, or one that is given), a
Wine prefix of the project's own, its wineserver, and the probe (probe/probe.cpp), a Win32
console program in the same prefix that answers questions about Win32 state and, by merely
running, keeps Wine's explorer (the tray's host) alive between program starts.

    session = Session(build_dir, wine_dir, "prefix-e2e").start()
    session.probe.ask("tray")
    process = session.popen(["some.exe"])
    session.stop()

Every process the session starts is in a process group of its own, so a Ctrl-C at the
terminal reaches only the Python process, which stops them in order; and each dies with the
Python process should that end without stopping them.
"""

import ctypes
import json
import os
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time

import processes
from wine import Wine, command, offline, take_lock
from xvfb import Xvfb, check_display

# How long a condition may take before a wait gives up. Generous: a cold Wine start under a
# loaded CI machine takes seconds; these are limits, not expectations.
WAIT_S = 20
# The first Wine process of a new prefix or display starts explorer and its services.
WINE_START_S = 120


class HarnessError(RuntimeError):
    pass


def wait_for(condition, timeout=WAIT_S, interval=0.05, what="condition"):
    """Polls condition() until it returns something true, and returns that; raises on timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError("gave up after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


_PR_SET_PDEATHSIG = 1
_libc = ctypes.CDLL(None, use_errno=True)


def own_group_dying_with_parent():
    """For a child process, before it runs its program: a process group of its own (a Ctrl-C at
    the terminal is the parent's to handle), and SIGKILL when the parent dies."""
    os.setsid()
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)


class Probe:
    """The probe served over a pipe: one command line in, one JSON answer line out."""

    def __init__(self, command, env, log_path, cwd):
        self._log = open(log_path, "ab")
        self.process = subprocess.Popen(command, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self._log, cwd=cwd, preexec_fn=own_group_dying_with_parent)
        self._lock = threading.Lock()
        self._buffer = b""

    def ask(self, command, timeout=WAIT_S):
        with self._lock:
            if self.process.poll() is not None:
                raise HarnessError("the probe has ended (status %s)" % self.process.returncode)
            self.process.stdin.write(command.encode("utf-8") + b"\n")
            self.process.stdin.flush()
            line = self._read_line(timeout)
        answer = json.loads(line.decode("utf-8"))
        if not answer.get("ok"):
            raise HarnessError("probe: %s -> %s" % (command, answer))
        return answer

    def _read_line(self, timeout):
        deadline = time.monotonic() + timeout
        out = self.process.stdout.fileno()
        while b"\n" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise HarnessError("the probe did not answer within %.0f s" % timeout)
            ready, _, _ = select.select([out], [], [], left)
            if ready:
                chunk = os.read(out, 65536)
                if not chunk:
                    raise HarnessError("the probe closed its output")
                self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        return line

    def stop(self):
        if self.process.poll() is None:
            try:
                self.ask("quit", timeout=5)
            except (HarnessError, OSError, ValueError):
                pass
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self._log.close()


class Session:
    """display: an X display to use; None starts a private Xvfb. offline: every Wine process of
    the session runs where the system reports no connection; such a session needs a prefix of
    its own, since Wine's network driver runs in whichever namespace the prefix's first process
    started in. network: instead, a namespace every Wine process runs in (web_servers.py's
    StationNetwork, for its enter()), also with a prefix of its own: the wineserver makes and
    connects the programs' sockets, so it has to be inside too. persistent_server keeps one
    wineserver for the whole session, which makes program starts fast; without it the server
    ends on its own after the last process.
    lock_wait: how long to wait for another session on the same prefix to end. env: variables
    every Wine process of the session gets on top of the prefix's own (another locale, say)."""

    def __init__(self, build_dir, wine_dir, prefix_name, display=None, offline=False, network=None,
                 persistent_server=True, lock_wait=600, log_dir=None, say=None, env=None):
        self.probe_exe = os.path.join(os.path.abspath(build_dir), "tests", "harness", "probe", "probe.exe")
        self.say = say or (lambda line: None)
        self.wine = Wine(wine_dir, say=self.say)
        self.prefix_name = prefix_name
        self.display = display
        self.offline = offline
        # Also set after construction, before start(): a SwitchableNetwork (netswitch.py).
        self.network = network
        self.persistent_server = persistent_server
        self.lock_wait = lock_wait
        self.log_dir = log_dir
        self.extra_env = dict(env or {})
        self.prefix = None
        self.xvfb = None
        self.probe = None
        self.scratch = None
        self._lock = None

    def start(self):
        if not os.path.isfile(self.probe_exe):
            raise HarnessError("%s is missing: build the win64 tree first" % self.probe_exe)
        if self.display:
            check_display(self.display)
        self.scratch = tempfile.mkdtemp(prefix="cantivo-session-")
        prefix = self.wine.prefix(self.prefix_name)
        # One session per prefix at a time: a second would kill the first one's wineserver.
        # Until the lock is held the prefix is not this session's, and its stop leaves it be.
        self._lock = take_lock(prefix + ".session-lock", self.lock_wait,
                               "the Wine prefix %s is in use by another session" % prefix)
        self.prefix = prefix
        # A server left over from an earlier, interrupted run would hold another display.
        self.wine.stop(self.prefix)
        if not self.display:
            self.say("starting a private X display (Xvfb)")
            self.xvfb = Xvfb(preexec_fn=own_group_dying_with_parent)
            self.display = self.xvfb.display
        if self.persistent_server:
            # Its output must not go to a pipe of ours: the daemon would hold it open forever.
            self.popen(["wineserver", "-p"], wine=False).wait(timeout=WAIT_S)
        self.start_probe()
        return self

    def start_probe(self):
        if self.probe:
            self.probe.stop()
        log = os.path.join(self.log_dir or self.scratch, "probe-stderr.log")
        self.probe = Probe(self.wrap(command([self.probe_exe, "--serve"])), self.env(), log, self.scratch)
        try:
            self.probe.ask("ping", timeout=WINE_START_S)
        except HarnessError as error:
            with open(log, "rb") as f:
                said = (f.read().decode(errors="replace").strip().splitlines() or ["nothing"])[-1]
            raise HarnessError("Wine did not start its first program on display %s (%s; it said: %s; all it said "
                               "is in %s). Remedy: run tools/setup.sh, which installs Wine" % (
                                   self.display, error, said, log)) from None
        return self.probe

    def restart_wine(self):
        """A new wineserver, probe and explorer on the same display and prefix: the way back
        to a working desktop after a test has killed Wine's explorer."""
        if self.probe:
            self.probe.stop()
            self.probe = None
        self.wine.stop(self.prefix)
        if self.persistent_server:
            self.popen(["wineserver", "-p"], wine=False).wait(timeout=WAIT_S)
        self.start_probe()

    def stop(self):
        if self.probe:
            self.probe.stop()
            self.probe = None
        if self.prefix:
            self.wine.stop(self.prefix)
        if self.xvfb:
            self.xvfb.stop()
            self.xvfb = None
        if self.scratch:
            shutil.rmtree(self.scratch, ignore_errors=True)
            self.scratch = None
        if self._lock:
            self._lock.close()
            self._lock = None

    def env(self, extra=None):
        env = self.wine.env(self.prefix, {"DISPLAY": self.display})
        env.update(self.extra_env)
        env.update(extra or {})
        return env

    def wrap(self, command):
        if self.network:  # a network of the session's own (web_servers.py, netswitch.py)
            return self.network.enter(command)
        return offline(command) if self.offline else command

    def popen(self, words, extra=None, cwd=None, wine=True, stderr=subprocess.DEVNULL):
        """words run in the session: a Windows program through Wine's loader of its kind
        (wine=True), or a Linux command as it is."""
        return subprocess.Popen(self.wrap(command(words) if wine else words), env=self.env(extra),
                                cwd=cwd or self.scratch, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=stderr, preexec_fn=own_group_dying_with_parent)

    def explorer_pids(self):
        """Unix ids of the explorer.exe /desktop processes of this session's prefix."""
        def desktop_explorer(words):
            words = [w.lower() for w in words]
            return any(w.endswith(b"explorer.exe") for w in words) and b"/desktop" in words
        return [pid for pid in processes.in_prefix(self.prefix) if desktop_explorer(processes.cmdline(pid))]
