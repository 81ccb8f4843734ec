"""Wine prefixes of the project's own, under the build folder, never the user's ~/.wine.

A prefix is made once with wineboot and reused by every later run. It is set up for driving
programs without a window manager (Managed=N: otherwise drags break and every hide stalls for
2 s) and with the crash dialog off, so a crashed program ends instead of waiting. Programs run
with a generated ja_JP.UTF-8 locale, which gives Wine the Japanese ANSI code page (932).
"""

import fcntl
import os
import shutil
import subprocess
from contextlib import contextmanager

READY = ".cantivo-ready"


class Wine:
    def __init__(self, wine_dir):
        self.dir = os.path.abspath(wine_dir)
        os.makedirs(self.dir, exist_ok=True)

    @contextmanager
    def _locked(self):
        with open(os.path.join(self.dir, ".lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            yield

    def locale_dir(self):
        path = os.path.join(self.dir, "locale")
        if not os.path.isdir(os.path.join(path, "ja_JP.UTF-8")):
            os.makedirs(path, exist_ok=True)
            subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8", os.path.join(path, "ja_JP.UTF-8")],
                           check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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

    def prefix(self, name="prefix"):
        """The path of a ready prefix; the first call makes it (about 15 s)."""
        path = os.path.join(self.dir, name)
        if os.path.exists(os.path.join(path, READY)):
            return path
        with self._locked():
            if not os.path.exists(os.path.join(path, READY)):
                shutil.rmtree(path, ignore_errors=True)
                if name == "prefix" or not self._copy_base(path):
                    self._boot(path)
                open(os.path.join(path, READY), "w").close()
        return path

    def _copy_base(self, path):
        """Copies the first prefix, which is much faster than booting another. Only a prefix
        at rest is copied: while a persistent wineserver (a running session) holds it, its
        registry on disk may be behind, so then the new prefix is booted instead."""
        base = self.prefix()
        try:
            subprocess.run(["wineserver", "-w"], env=self.env(base), check=False, timeout=30)
        except subprocess.TimeoutExpired:
            return False
        shutil.copytree(base, path, symlinks=True)
        return True

    def _boot(self, path):
        env = self.env(path)
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineboot", "-i"], env=env, check=True, **quiet)
        for key, value, kind, data in (
            (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N"),
            (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
        ):
            subprocess.run(["wine", "reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f"],
                           env=env, check=True, **quiet)
        subprocess.run(["wineserver", "-w"], env=env, check=False)

    def stop(self, prefix):
        subprocess.run(["wineserver", "-k"], env=self.env(prefix), check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
