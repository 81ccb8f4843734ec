"""Wine prefixes of the project's own, under the build folder, never the user's ~/.wine.

A prefix is made once with wineboot and reused by every later run. It is set up for driving
programs without a window manager (Managed=N: otherwise drags break and every hide stalls for
2 s) and with the crash dialog off, so a crashed program ends instead of waiting. Programs run
with a generated ja_JP.UTF-8 locale, which gives Wine the Japanese ANSI code page (932).
"""

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

READY = ".cantivo-ready"
BASE = "prefix"
# Making a prefix takes about 15 s, copying one a few; another process may be doing either.
LOCK_WAIT_S = 300
BOOT_S = 300
STOP_S = 15


# The Wine folders whose lock this process holds.
_HELD = set()


class WineError(RuntimeError):
    pass


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
                    mark.write(wine_packages())
        return path

    @staticmethod
    def _ready(path):
        """Made, and by the Wine that is installed now: a prefix made before Wine's 32-bit half
        was installed fails every start once it is ("could not load kernel32.dll")."""
        try:
            with open(os.path.join(path, READY)) as mark:
                return mark.read() == wine_packages()
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
        env = self.env(path)
        steps = [["wineboot", "-i"]] + [
            ["wine", "reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f"]
            for key, value, kind, data in (
                (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N"),
                (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
            )]
        # Output goes to a file, not a pipe: the wineserver these start inherits it and would
        # hold a pipe open after they end.
        try:
            with tempfile.TemporaryFile() as output:
                for step in steps:
                    status = subprocess.run(step, env=env, stdout=subprocess.DEVNULL, stderr=output,
                                            timeout=BOOT_S).returncode
                    if status != 0:
                        output.seek(0)
                        raise WineError("%s failed (status %d) making %s: %s" % (
                            " ".join(step[:2]), status, path, output.read().decode(errors="replace")[-400:]))
            subprocess.run(["wineserver", "-w"], env=env, check=False, timeout=BOOT_S)
        except subprocess.TimeoutExpired as error:
            self.stop(path)
            raise WineError("%s did not end within %d s making %s" % (" ".join(error.cmd[:2]), BOOT_S, path)) from None

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
