"""Wine prefixes of the project's own, under the build folder, never the user's ~/.wine, and
the loader each program is started with.

Debian's wine command picks Wine's 32-bit loader whenever wine32 is installed, and where the
kernel runs no i386 programs that loader cannot start at all: then no program would start, not
even a 64-bit one. So nothing here relies on that command's choice. 64-bit programs and Wine's
own tools (wineboot, reg) start through the 64-bit loader, 32-bit programs through the 32-bit
one, and only where it runs (command()).

A prefix is made once with wineboot and reused by every later run. It is set up for driving
programs without a window manager (Managed=N: otherwise drags break and every hide stalls for
2 s) and with the crash dialog off, so a crashed program ends instead of waiting. Programs run
with a generated ja_JP.UTF-8 locale, which gives Wine the Japanese ANSI code page (932).
"""

import errno
import fcntl
import functools
import os
import shutil
import signal
import subprocess
import tempfile
import time
from contextlib import contextmanager

import processes

WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"
# CANTIVO_WINE32=hidden: this run behaves as on a machine whose Wine has no working 32-bit
# half (wine32.py hidden sets it, and hides the loader too).
HIDE_VARIABLE = "CANTIVO_WINE32"
READY = ".cantivo-ready"
BASE = "prefix"
# Making a prefix takes about 15 s, copying one a few; another process may be doing either.
LOCK_WAIT_S = 300
BOOT_S = 300
STOP_S = 15
# Every prefix: driven without a window manager (else drags break and hides stall), and a
# crashed program ends instead of waiting on Wine's crash dialog.
PREFIX_SETTINGS = (
    (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N"),
    (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
)


# The Wine folders whose lock this process holds.
_HELD = set()


class WineError(RuntimeError):
    pass


def pe_bits(path):
    """32 or 64: the machine a Windows program was built for, from its PE header."""
    with open(path, "rb") as f:
        header = f.read(4096)
    pe = int.from_bytes(header[0x3C:0x40], "little")
    machine = {0x14C: 32, 0x8664: 64}.get(int.from_bytes(header[pe + 4:pe + 6], "little"))
    if header[:2] != b"MZ" or header[pe:pe + 4] != b"PE\0\0" or machine is None:
        raise WineError("%s is not a Windows program for x86 or x64" % path)
    return machine


@functools.lru_cache(maxsize=None)
def why_no_32bit():
    """None where Wine's 32-bit half runs here, else why it does not, in a few words. Found
    by starting the 32-bit loader, not by asking dpkg: on some machines the kernel refuses
    every i386 program although the package is installed."""
    if os.environ.get(HIDE_VARIABLE) == "hidden":
        return "Wine's 32-bit half is hidden from this run (%s=hidden)" % HIDE_VARIABLE
    if not os.access(WINE32, os.X_OK):
        return "Wine's 32-bit half (wine32:i386) is not installed"
    try:
        result = subprocess.run([WINE32, "--version"], capture_output=True, text=True, timeout=60)
    except subprocess.TimeoutExpired:
        return "Wine's 32-bit loader %s did not answer within 60 s" % WINE32
    except OSError as error:
        if error.errno == errno.ENOEXEC:
            return "this machine's kernel runs no i386 programs (%s: Exec format error)" % WINE32
        return "Wine's 32-bit loader %s does not start: %s" % (WINE32, error.strerror)
    if result.returncode != 0:
        said = (result.stderr.strip().splitlines() or [""])[-1]
        return "Wine's 32-bit loader %s fails (status %d) %s" % (WINE32, result.returncode, said)
    return None


def command(words):
    """words (a Windows program or one of Wine's tools, then its arguments) as a command
    line that starts it through the loader of its own kind."""
    program = words[0]
    if program.lower().endswith(".exe") and os.path.isfile(program) and pe_bits(program) == 32:
        reason = why_no_32bit()
        if reason:
            raise WineError("the 32-bit %s cannot run here: %s" % (program, reason))
        return [WINE32] + list(words)
    if not os.access(WINE64, os.X_OK):
        raise WineError("Wine's 64-bit loader %s is missing: tools/setup.sh installs it (package wine64)" % WINE64)
    return [WINE64] + list(words)


def offline(command):
    """command run in a network namespace of its own with only a loopback and no route, where
    Windows reports no connection. A prefix's network driver runs in whichever namespace its
    first process started in, so such programs need a prefix of their own."""
    return ["unshare", "-n", "--", "sh", "-c", 'ip link set lo up 2>/dev/null; exec "$@"', "sh"] + list(command)


def take_lock(path, wait_s, holder):
    """An exclusive flock on path, held while the returned file stays open. Waits at most
    wait_s seconds for the holder (holder says who that is) to let go, then raises; the file
    names the holding process."""
    lock = open(path, "a+")
    deadline = time.monotonic() + wait_s
    while True:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            break
        except BlockingIOError:
            if time.monotonic() >= deadline:
                lock.seek(0)
                named = lock.read().strip()
                lock.close()
                waited = " (waited %d s)" % wait_s if wait_s else ""
                raise WineError("%s%s: %s %s" % (holder, waited, path, named or "is held")) from None
            time.sleep(0.2)
    lock.seek(0)
    lock.truncate()
    lock.write("held by process %d\n" % os.getpid())
    lock.flush()
    return lock


@functools.lru_cache(maxsize=None)
def wine_packages():
    """The installed Wine packages, their architectures and versions, one per line; asked
    once, since nothing installs Wine while a run goes on."""
    listed = subprocess.run(["dpkg-query", "-W", "-f", "${db:Status-Abbrev} ${Package}:${Architecture} ${Version}\n",
                             "wine*", "libwine*"], capture_output=True, text=True, timeout=60).stdout
    return "".join(sorted(line[4:] + "\n" for line in listed.splitlines() if line.startswith("ii ")))


def installed_wine():
    """What a prefix is made by: the Wine packages, and whether their 32-bit half runs."""
    return wine_packages() + "32-bit half: %s\n" % (why_no_32bit() or "runs")


class Wine:
    def __init__(self, wine_dir, say=None):
        self.dir = os.path.abspath(wine_dir)
        self.say = say or (lambda line: None)
        os.makedirs(self.dir, exist_ok=True)

    @contextmanager
    def _locked(self):
        """The folder's lock, shared with every other process that makes prefixes here.
        flock locks do not nest across two opens of the file, so a second take in this same
        process would wait on itself for ever: that is refused instead."""
        if self.dir in _HELD:
            raise WineError("the lock of %s is already held by this process" % self.dir)
        with take_lock(os.path.join(self.dir, ".lock"), LOCK_WAIT_S, "another process is making a Wine prefix"):
            _HELD.add(self.dir)
            try:
                yield
            finally:
                _HELD.discard(self.dir)

    def locale_dir(self):
        """A generated ja_JP.UTF-8 locale, made once; it appears whole or not at all, so a
        process reading it never sees one half-written by another."""
        path = os.path.join(self.dir, "locale")
        target = os.path.join(path, "ja_JP.UTF-8")
        if not os.path.isdir(target):
            os.makedirs(path, exist_ok=True)
            scratch = tempfile.mkdtemp(prefix=".making-", dir=path)
            try:
                made = os.path.join(scratch, "ja_JP.UTF-8")
                result = subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8", made], capture_output=True,
                                        text=True, timeout=120)
                if not os.path.isdir(made):
                    raise WineError("localedef could not make the ja_JP.UTF-8 locale: %s" % result.stderr.strip())
                try:
                    os.rename(made, target)
                except OSError:
                    if not os.path.isdir(target):  # else another process was first
                        raise
            finally:
                shutil.rmtree(scratch, ignore_errors=True)
        return path

    def env(self, prefix, extra=None):
        env = dict(os.environ)
        for name in ("http_proxy", "HTTP_PROXY", "https_proxy", "no_proxy"):
            env.pop(name, None)
        env.update({
            "WINEPREFIX": prefix,
            # Silent unless asked: CANTIVO_WINEDEBUG=+wininet shows what WinInet does.
            "WINEDEBUG": os.environ.get("CANTIVO_WINEDEBUG", "-all"),
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "LOCPATH": self.locale_dir(),
            "LANG": "ja_JP.UTF-8",
            "LC_ALL": "ja_JP.UTF-8",
        })
        env.update(extra or {})
        return env

    def prefix(self, name=BASE):
        """The path of a ready prefix; the first call makes it. Other prefixes are copies of
        the base one, which is made first, under a lock of its own taking: the lock is never
        taken twice at once."""
        path = os.path.join(self.dir, name)
        if self._ready(path):
            return path
        base = None if name == BASE else self.prefix(BASE)
        with self._locked():
            if not self._ready(path):
                shutil.rmtree(path, ignore_errors=True)
                if base is None or not self._copy(base, path):
                    self.say("making the Wine prefix %s (first time only, about 15 s)" % path)
                    self._boot(path)
                with open(os.path.join(path, READY), "w") as mark:
                    mark.write(installed_wine())
        return path

    @staticmethod
    def _ready(path):
        """Made, and by the Wine that is installed and runs now: a prefix made before Wine's
        32-bit half was installed fails every start once it is ("could not load kernel32.dll"),
        and one made while that half did not run lacks its 32-bit side."""
        try:
            with open(os.path.join(path, READY)) as mark:
                return mark.read() == installed_wine()
        except OSError:
            return False

    def _copy(self, base, path):
        """Copies the base prefix, which is much faster than booting another. Only a prefix
        at rest is copied: while a persistent wineserver (a running session) holds it, its
        registry on disk may be behind, so then the new prefix is booted instead."""
        try:
            subprocess.run(["wineserver", "-w"], env=self.env(base), check=False, timeout=30)
        except subprocess.TimeoutExpired:
            return False
        self.say("copying the Wine prefix to %s" % path)
        shutil.copytree(base, path, symlinks=True)
        return True

    def _boot(self, path):
        """wineboot, then the settings every prefix has. Their output goes to a log beside the
        prefix, a file rather than a pipe: the wineserver they start inherits it and would hold
        a pipe open after they end."""
        log = path + ".boot.log"
        try:
            with open(log, "wb") as output:
                self._run_step(["wineboot", "-i"], path, self.env(path), output)
                self.reg_add(path, PREFIX_SETTINGS, output=output)
        except WineError as error:
            raise WineError("Wine could not make its prefix (%s); its output is in %s. Remedy: run tools/setup.sh, "
                            "remove %s and try again" % (error, log, path)) from None
        except subprocess.TimeoutExpired as error:
            self.stop(path)
            tool = error.cmd[1] if error.cmd[0] in (WINE64, WINE32) else error.cmd[0]
            raise WineError("Wine could not make its prefix (%s did not end within %d s in %s); its output is in %s"
                            % (tool, BOOT_S, path, log)) from None

    def reg_add(self, prefix, settings, env=None, output=None):
        """Each (key, value, kind, data) set in the prefix's registry; it reaches the disk
        when the prefix's server has ended, which this waits for."""
        env = env or self.env(prefix)
        for key, value, kind, data in settings:
            self._run_step(["reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f"], prefix, env, output)
        subprocess.run(["wineserver", "-w"], env=env, check=False, timeout=BOOT_S)

    @staticmethod
    def _run_step(step, prefix, env, output):
        """One of Wine's tools; output takes what it prints (None: nothing is kept)."""
        status = subprocess.run(command(step), env=env, stdout=output or subprocess.DEVNULL,
                                stderr=output or subprocess.DEVNULL, timeout=BOOT_S).returncode
        if status != 0:
            said = ""
            if output:
                output.flush()
                with open(output.name, "rb") as f:
                    lines = f.read().decode(errors="replace").strip().splitlines()
                said = ": " + lines[-1] if lines else ""
            raise WineError("%s ended with status %d in %s%s" % (" ".join(step[:2]), status, prefix, said))

    def stop(self, prefix):
        """Every process of the prefix ended, its wineserver among them. The server is asked
        first; should it not answer in time, the processes are killed one by one."""
        try:
            subprocess.run(["wineserver", "-k"], env=self.env(prefix), check=False, timeout=STOP_S,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            pass
        left = processes.in_prefix(prefix)
        for pid in left:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        return left
