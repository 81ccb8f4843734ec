"""Drives Cantivo under Wine as a user would, and reads what happened from outside.

A Desktop is one session: a private Xvfb display, a Wine prefix of the project's own, a
persistent wineserver and the probe (probe/probe.cpp), a Win32 console program in the same
prefix that answers questions about Win32 state and, by merely running, keeps Wine's explorer
(the tray's host) alive between program starts. A Program is one start of cantivo.exe, from a
folder of its own, against a loopback station serving a chosen page.

Input is real: xdotool moves the pointer and clicks the tray icon, opens the menu and picks its
items. Results are read from outside the program: X windows and their properties, screenshots,
the log file's bytes, and what the probe sees.

    desktop = Desktop(build_dir, wine_dir, artifacts_dir).start()
    program = desktop.start_program(page="tests/pages/good.html")
    program.double_click_icon()
    program.wait_shown()
    program.open_menu().choose("s")
    ...
    program.stop()
    desktop.stop()
"""

import fcntl
import contextlib
import json
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time

from PIL import Image, ImageChops
from Xlib import X, display as xdisplay

from station import Station
from wine import Wine
from xvfb import Xvfb

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PAGES = os.path.join(ROOT, "tests", "pages")

MAIN_CLASS = "TfrmCantivo"
APPLICATION_CLASS = "CantivoApplication"
LOG_NAME = "cantivolog.log"
# The display's size; with no taskbar on it the work area is the whole screen.
SCREEN_SIZE = (1024, 768)

# The tray icon's callback message (WM_USER + 100) and the mouse messages it carries.
TRAY_MESSAGE = 0x0400 + 100
WM_MOUSEMOVE = 0x0200
WM_LBUTTONDOWN = 0x0201
WM_LBUTTONUP = 0x0202
WM_LBUTTONDBLCLK = 0x0203
WM_RBUTTONDOWN = 0x0204
WM_RBUTTONUP = 0x0205
WM_MBUTTONDOWN = 0x0207
WS_EX_LAYERED = 0x00080000
LWA_COLORKEY = 1
LWA_ALPHA = 2
IDOK = 1

# Wine's default double-click time is 0.5 s; presses further apart than this are separate clicks.
DOUBLE_CLICK_S = 0.6

# How long a condition may take before a wait gives up. Generous: a cold Wine start under a
# loaded CI machine takes seconds; these are limits, not expectations.
WAIT_S = 20

# The captions the program's menu can show, as the program writes them.
GET = "取得(&G)"
SAVE = "保存(&S)"
EXIT = "終了(&X)"
# The two menus it can show: exactly one of Get and Save, a separator, Exit.
MENUS = ([GET, "-", EXIT], [SAVE, "-", EXIT])


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


def windows_path(path):
    """The path as a program in the prefix sees it: Wine maps drive Z: to the Unix root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def unix_path(path):
    if not re.match(r"^[zZ]:\\", path):
        raise ValueError("not a Z: path: %r" % path)
    return path[2:].replace("\\", "/")


class Probe:
    """The probe served over a pipe: one command line in, one JSON answer line out."""

    def __init__(self, command, env, log_path):
        self._log = open(log_path, "ab")
        self.process = subprocess.Popen(command, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self._log, cwd=tempfile.gettempdir())
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


class Menu:
    """An open popup menu of the program, as the probe and X see it."""

    def __init__(self, program, info):
        self.program = program
        self.info = info
        self.rect = tuple(info["rect"])
        self.xid = info["xid"]

    @property
    def left(self):
        return self.rect[0]

    @property
    def top(self):
        return self.rect[1]

    def is_open(self):
        return any(m["hwnd"] == self.info["hwnd"] for m in self.program.menus())

    def image(self, label="menu"):
        """The menu's pixels, with the pointer moved off it and the tray's tooltip gone."""
        desktop = self.program.desktop
        desktop.park_pointer()
        desktop.wait_no_tooltip()
        covering = desktop.x_covering(self.xid)
        if covering:
            raise HarnessError("X windows %s are stacked above the menu" % covering)
        return desktop.screenshot(label).crop(self.rect)

    def captions(self):
        """Which of the program's possible menus this is, as [caption, ...] with "-" for the
        separator, found by comparing its pixels with menus the probe draws with the same
        Wine code and fonts. None when it matches none of them."""
        shown = self.image()
        for candidate in MENUS:
            reference = self.program.desktop.reference_menu(candidate)
            if reference.size == shown.size and ImageChops.difference(reference, shown).getbbox() is None:
                return candidate
        return None

    def choose(self, key):
        """Picks an item by its access key, giving the key to where Wine's menu loop reads it."""
        desktop = self.program.desktop
        focus = desktop.x_focus()
        if focus in self.program.x_windows():
            # The program's own window has the X focus: moving it away would cancel the menu.
            desktop.xdotool("key", key)
        else:
            desktop.xdotool("windowfocus", self.xid, "key", key)
        self.wait_closed()

    def click_row(self, row, rows):
        """Clicks inside row (0-based) of a menu of rows entries laid out from top to bottom,
        separators counted as rows of a third of an item's height."""
        left, top, right, bottom = self.rect
        heights = [1.0 / 3 if r == "-" else 1.0 for r in rows]
        unit = (bottom - top - 6) / sum(heights)
        y = top + 3 + unit * (sum(heights[:row]) + heights[row] / 2)
        self.program.desktop.click((left + right) // 2, int(y))
        self.wait_closed()

    def escape(self):
        self.choose("Escape")

    def wait_closed(self):
        wait_for(lambda: not self.is_open(), what="the menu to close")


class Program:
    """One start of cantivo.exe from a folder of its own."""

    def __init__(self, desktop, folder, station=None):
        self.desktop = desktop
        self.folder = folder
        self.exe = os.path.join(folder, "cantivo.exe")
        self.log_path = os.path.join(folder, LOG_NAME)
        self.station = station
        self.process = None
        self.cwd = None

    # -- process --------------------------------------------------------------------------

    def start(self, wait_icon=True):
        extra = {}
        if self.station:
            extra["http_proxy"] = self.station.proxy
        # The working folder is another one: the log belongs beside the exe whatever it is.
        self.cwd = tempfile.mkdtemp(prefix="cwd-", dir=self.desktop.scratch)
        self.process = self.desktop.popen([self.exe], extra, cwd=self.cwd)
        if wait_icon:
            self.wait_icon()
        return self

    def start_another(self, exe=None):
        """Another start of this exe (or of exe) while this one runs; returns its process."""
        extra = {"http_proxy": self.station.proxy} if self.station else {}
        return self.desktop.popen([exe or self.exe], extra, cwd=self.desktop.scratch)

    def serve(self, page):
        """The station serves page from now on (a file name under tests/pages or a path)."""
        self.station.page_file = page if os.path.isabs(page) else os.path.join(PAGES, page)

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout=WAIT_S):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError("cantivo.exe still runs after %.0f s" % timeout) from None

    def stop(self):
        if self.running():
            os.kill(self.process.pid, signal.SIGKILL)
            self.process.wait()
        # The icon goes with the process; the next program must find the tray empty.
        try:
            wait_for(lambda: not self.desktop.tray_icons(), what="the tray to be empty")
        finally:
            if self.station:
                self.station.stop()

    # -- what the probe sees ---------------------------------------------------------------

    def main_window(self):
        return self.desktop.probe.ask("window " + MAIN_CLASS)

    def application_window(self):
        return self.desktop.probe.ask("window " + APPLICATION_CLASS)

    def pid(self):
        """The program's Windows process id."""
        window = self.main_window()
        return window["pid"] if window["exists"] else None

    def windows(self):
        """Every top-level window of the program."""
        pid = self.pid()
        return self.desktop.probe.ask("windows %d" % pid)["windows"] if pid else []

    def x_windows(self):
        return {w["xid"] for w in self.windows() if w["xid"]}

    def menus(self):
        pid = self.pid()
        return [m for m in self.desktop.probe.ask("menus")["menus"] if m["pid"] == pid]

    def boxes(self):
        pid = self.pid()
        return [b for b in self.desktop.probe.ask("boxes")["boxes"] if b["pid"] == pid]

    def shown(self):
        """The balloon is on screen: visible to Win32, mapped in X, at its full alpha."""
        window = self.main_window()
        return (window["exists"] and window["visible"] and window["layered"]["ok"]
                and window["layered"]["alpha"] == 180 and self.desktop.x_viewable(window["xid"])
                and self.desktop.x_opacity(window["xid"]) == 0xB4B4B4B4) and window

    def hidden(self):
        window = self.main_window()
        return window["exists"] and not window["visible"] and not self.desktop.x_viewable(window["xid"])

    def wait_shown(self, timeout=WAIT_S):
        return wait_for(self.shown, timeout, what="the balloon to show")

    def wait_hidden(self, timeout=WAIT_S):
        return wait_for(self.hidden, timeout, what="the balloon to hide")

    def wait_box(self, title=None, timeout=WAIT_S):
        def find():
            return next((b for b in self.boxes() if title is None or b["title"] == title), None)
        return wait_for(find, timeout, what="a message box titled %r" % title)

    def press(self, box, button=IDOK):
        self.desktop.probe.ask("press %d %d" % (box["hwnd"], button))
        wait_for(lambda: all(b["hwnd"] != box["hwnd"] for b in self.boxes()), what="the box to close")

    def post(self, message, wparam=0, lparam=0):
        self.desktop.probe.ask("post %d %d %d %d" % (self.main_window()["hwnd"], message, wparam, lparam))

    def post_tray(self, mouse_message):
        """The tray's callback as explorer sends it, with the mouse message in lParam."""
        self.post(TRAY_MESSAGE, 1, mouse_message)

    def log_bytes(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def on_air_requests(self):
        return [r for r in self.station.requests if "/PC/FM/KALO-FM/onair.asp" in r.split("\r\n", 1)[0]]

    # -- the tray icon ---------------------------------------------------------------------

    def wait_icon(self, timeout=WAIT_S):
        return wait_for(lambda: self.desktop.tray_icons(), timeout, what="the tray icon")[0]

    def icon_centre(self):
        icons = self.desktop.tray_icons()
        if len(icons) != 1:
            raise HarnessError("expected one tray icon, found %d" % len(icons))
        left, top, right, bottom = icons[0]["rect"]
        return (left + right) // 2, (top + bottom) // 2

    def double_click_icon(self):
        self.desktop.click(*self.icon_centre(), button=1, count=2)

    def click_icon(self, button=1):
        self.desktop.click(*self.icon_centre(), button=button)

    def right_click_icon(self):
        """Right-clicks the icon and returns the pointer's position.

        Without a window manager a click on the tray makes explorer take the X focus, and
        when that reaches the program after it has made its own window the foreground for the
        menu, Wine cancels the menu (WM_CANCELMODE) before it is seen. So the tray is made the
        foreground first, by a click on its empty part, and the icon clicked only then."""
        desktop = self.desktop
        tray = desktop.tray()
        if desktop.foreground().get("hwnd") != tray["hwnd"]:
            desktop.click(*desktop.tray_empty_point())
            wait_for(lambda: desktop.foreground().get("hwnd") == tray["hwnd"], what="the tray to be the foreground")
        x, y = self.icon_centre()
        desktop.click(x, y, button=3)
        return x, y

    def wait_menu(self, timeout=WAIT_S):
        return Menu(self, wait_for(lambda: next(iter(self.menus()), None), timeout, what="the popup menu"))

    def open_menu(self):
        self.right_click_icon()
        return self.wait_menu()

    def get(self):
        """Get from the menu; returns once the menu has closed."""
        self.open_menu().choose("g")

    def save(self):
        self.open_menu().choose("s")

    def exit(self):
        self.open_menu().choose("x")


class Desktop:
    """One session: display, prefix, wineserver and probe. offline=True runs every Wine process
    of the session in a network namespace of its own with only a loopback and no route, where
    the system reports no connection; such a session has a prefix of its own, since Wine's
    network driver runs in whichever namespace the prefix's first process started in."""

    def __init__(self, build_dir, wine_dir, artifacts_dir, offline=False):
        self.build_dir = os.path.abspath(build_dir)
        self.exe = os.path.join(self.build_dir, "app", "cantivo.exe")
        self.probe_exe = os.path.join(self.build_dir, "tests", "harness", "probe", "probe.exe")
        self.wine = Wine(wine_dir)
        self.artifacts_dir = os.path.abspath(artifacts_dir)
        self.offline = offline
        self.prefix = None
        self.xvfb = None
        self.probe = None
        self._system_cursors = {}
        self.scratch = None
        self._x = None
        self._references = {}
        self._lock = None
        self._shots = 0
        self._last_press = {}
        self.label = "session"

    # -- session ---------------------------------------------------------------------------

    def start(self):
        for path in (self.exe, self.probe_exe):
            if not os.path.isfile(path):
                raise HarnessError("%s is missing: build the win64 tree first" % path)
        os.makedirs(self.artifacts_dir, exist_ok=True)
        self.scratch = tempfile.mkdtemp(prefix="cantivo-e2e-")
        self.prefix = self.wine.prefix("prefix-e2e-offline" if self.offline else "prefix-e2e")
        # One session per prefix at a time: a second would kill the first one's wineserver.
        self._lock = open(self.prefix + ".session-lock", "w")
        fcntl.flock(self._lock, fcntl.LOCK_EX)
        # A server left over from an earlier, interrupted run would hold another display.
        self.wine.stop(self.prefix)
        self.xvfb = Xvfb(*SCREEN_SIZE)
        self._x = xdisplay.Display(self.xvfb.display)
        self._x.xfixes_query_version()  # XFixes answers nothing before the version is agreed
        # Its output must not go to a pipe of ours: the daemon would hold it open forever.
        server = self.popen(["wineserver", "-p"], wine=False)
        server.wait(timeout=WAIT_S)
        self.start_probe()
        # Drawn now, while nothing else is on the screen to cover them.
        for captions in MENUS:
            self.reference_menu(captions)
        return self

    def restart_wine(self):
        """A new wineserver, probe and explorer on the same display and prefix: the way back
        to a working desktop after a test has killed Wine's explorer."""
        if self.probe:
            self.probe.stop()
            self.probe = None
        self.wine.stop(self.prefix)
        self.popen(["wineserver", "-p"], wine=False).wait(timeout=WAIT_S)
        self.start_probe()

    def start_probe(self):
        if self.probe:
            self.probe.stop()
        command = self._wrap(["wine", self.probe_exe, "--serve"])
        self.probe = Probe(command, self.env(), os.path.join(self.artifacts_dir, "probe-stderr.log"))
        self.probe.ask("ping", timeout=120)
        return self.probe

    def stop(self):
        if self.probe:
            self.probe.stop()
        if self.prefix:
            self.wine.stop(self.prefix)
        if self._x:
            self._x.close()
        if self.xvfb:
            self.xvfb.stop()
        if self.scratch:
            shutil.rmtree(self.scratch, ignore_errors=True)
        if self._lock:
            self._lock.close()
            self._lock = None

    def env(self, extra=None):
        env = self.wine.env(self.prefix, {"DISPLAY": self.xvfb.display})
        env.update(extra or {})
        return env

    def _wrap(self, command):
        if not self.offline:
            return command
        return ["unshare", "-n", "--", "sh", "-c", 'ip link set lo up 2>/dev/null; exec "$@"', "sh"] + command

    def popen(self, command, extra=None, cwd=None, wine=True):
        if wine and command[0] != "wine":
            command = ["wine"] + command
        return subprocess.Popen(self._wrap(command), env=self.env(extra), cwd=cwd or self.scratch,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def new_program_folder(self):
        """A new folder holding a copy of cantivo.exe."""
        folder = tempfile.mkdtemp(prefix="program-", dir=self.scratch)
        shutil.copy(self.exe, folder)
        return folder

    def start_program(self, page=None, log=None, wait_icon=True):
        """cantivo.exe copied into a new folder of its own and started there, with a station
        serving page (a file name under tests/pages or a path). log, when given, is written to
        cantivolog.log beside the exe first."""
        folder = self.new_program_folder()
        if log is not None:
            with open(os.path.join(folder, LOG_NAME), "wb") as f:
                f.write(log)
        return self.program_in(folder, page).start(wait_icon)

    def program_in(self, folder, page=None, station=True):
        """A Program for the cantivo.exe already in folder, not yet started."""
        if page and not os.path.isabs(page):
            page = os.path.join(PAGES, page)
        running = Station(page_file=page, pages_dir=PAGES).start() if station and not self.offline else None
        return Program(self, folder, running)

    # -- Wine's explorer and the tray ------------------------------------------------------

    def tray(self):
        return self.probe.ask("tray")

    def tray_icons(self):
        tray = self.tray()
        return [icon for icon in tray.get("icons", []) if icon["visible"]] if tray["exists"] else []

    def tray_empty_point(self):
        """A point in the tray window's client part that no icon covers."""
        tray = self.tray()
        left, top, right, bottom = tray["rect"]
        icons = [icon["rect"] for icon in tray.get("icons", [])]
        for x in range(right - 8, left, -8):
            y = bottom - 8
            if not any(l <= x < r and t <= y < b for l, t, r, b in icons):
                return x, y
        raise HarnessError("the tray has no empty place to click")

    def foreground(self):
        return self.probe.ask("foreground")

    def explorer_pids(self):
        """Unix ids of the explorer.exe /desktop processes of this session's prefix."""
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    cmdline = f.read().split(b"\0")
                with open("/proc/%s/environ" % entry, "rb") as f:
                    environ = f.read().split(b"\0")
            except OSError:
                continue
            words = [w.lower() for w in cmdline]
            if (any(w.endswith(b"explorer.exe") for w in words) and b"/desktop" in words
                    and b"WINEPREFIX=" + self.prefix.encode() in environ):
                found.append(int(entry))
        return found

    def reference_menu(self, captions):
        """The pixels of a popup menu with these captions drawn by the probe (cached)."""
        key = tuple(captions)
        if key not in self._references:
            answer = self.probe.ask("showmenu 400 300 " + "|".join(captions))
            try:
                self.park_pointer()
                menu = answer["menu"]
                covering = self.x_covering(menu["xid"])
                if covering:
                    raise HarnessError("X windows %s are stacked above the reference menu" % covering)
                image = self.screenshot("reference-menu").crop(tuple(menu["rect"]))
            finally:
                self.probe.ask("closemenu")
            self._references[key] = image
        return self._references[key]

    def wait_no_tooltip(self):
        def gone():
            windows = self.probe.ask("windows")["windows"]
            return not any(w["class"] == "tooltips_class32" and w["visible"] for w in windows)
        wait_for(gone, what="the tray's tooltip to go")

    # -- X ---------------------------------------------------------------------------------

    def xdotool(self, *args):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env(), capture_output=True,
                                text=True, timeout=WAIT_S)
        if result.returncode != 0:
            raise HarnessError("xdotool %s: %s" % (" ".join(map(str, args)), result.stderr.strip()))
        return result.stdout

    def click(self, x, y, button=1, count=1):
        """Clicks at x, y; count=2 is a double-click. Separate clicks of one button are kept
        further apart than the double-click time, or Wine would make the second press a
        double-click (the tray icon's class takes them)."""
        last = self._last_press.get(button)
        if last is not None:
            wait = last + DOUBLE_CLICK_S - time.monotonic()
            if wait > 0:
                time.sleep(wait)
        self.xdotool("mousemove", x, y, "sleep", 0.1, "click", "--repeat", count, "--delay", 80, button)
        self._last_press[button] = time.monotonic()

    def move_pointer(self, x, y):
        """Moves the pointer and waits until Wine's GetCursorPos, which lags behind X for a
        moment when no Wine window is under the pointer, reports it there."""
        self.xdotool("mousemove", x, y)
        wait_for(lambda: (lambda c: (c["x"], c["y"]) == (x, y))(self.probe.ask("cursor")),
                 what="Wine to see the pointer at %d,%d" % (x, y))

    def park_pointer(self):
        """The pointer moved where it touches nothing: no hover, no tooltip."""
        self.xdotool("mousemove", 700, 500)

    def x_focus(self):
        """The X window with the input focus; 0 for none, 1 for PointerRoot."""
        focus = self._x.get_input_focus().focus
        return focus if isinstance(focus, int) else focus.id

    def _x_window(self, xid):
        return self._x.create_resource_object("window", xid)

    def x_viewable(self, xid):
        if not xid:
            return False
        try:
            return self._x_window(xid).get_attributes().map_state == X.IsViewable
        except Exception:  # a window gone between two questions
            return False

    def x_opacity(self, xid):
        """_NET_WM_WINDOW_OPACITY, where Wine puts a layered window's alpha; None if unset."""
        atom = self._x.intern_atom("_NET_WM_WINDOW_OPACITY")
        try:
            prop = self._x_window(xid).get_full_property(atom, X.AnyPropertyType)
        except Exception:
            return None
        return prop.value[0] if prop and len(prop.value) else None

    @contextlib.contextmanager
    def opacity_changes(self, xid):
        """Records, while the block runs, every value xid's _NET_WM_WINDOW_OPACITY is set to
        (None for a removal): a fade shows as a run of values. Values set faster than they
        can be read may be seen as the later one, never as one that was not set."""
        connection = xdisplay.Display(self.xvfb.display)
        atom = connection.intern_atom("_NET_WM_WINDOW_OPACITY")
        window = connection.create_resource_object("window", xid)
        window.change_attributes(event_mask=X.PropertyChangeMask)
        connection.sync()
        values, done = [], threading.Event()

        def record():
            while not done.is_set():
                if not connection.pending_events():
                    select.select([connection.fileno()], [], [], 0.05)
                    continue
                event = connection.next_event()
                if event.type != X.PropertyNotify or event.atom != atom:
                    continue
                if event.state == X.PropertyDelete:
                    values.append(None)
                    continue
                prop = window.get_full_property(atom, X.AnyPropertyType)
                values.append(prop.value[0] if prop and len(prop.value) else None)

        thread = threading.Thread(target=record, daemon=True)
        thread.start()
        try:
            yield values
        finally:
            time.sleep(0.2)  # the last events in flight
            done.set()
            thread.join()
            connection.close()

    def system_cursor(self, name):
        """How Wine shows the system cursor name ("arrow", "hand") on this display, read off a
        window of the probe's whose class cursor it is; kept for the session."""
        if name not in self._system_cursors:
            self.park_pointer()
            root_cursor = wait_for(self.x_cursor, what="the root window's cursor")

            def shown():
                cursor = self.x_cursor()
                # Over a window whose cursor is not set yet Wine shows an empty 1 x 1 one.
                return cursor != root_cursor and cursor[1] != (1, 1) and cursor

            self.probe.ask("cursorpatch %s 8 8" % name)
            try:
                self.move_pointer(16, 16)
                self._system_cursors[name] = wait_for(shown, what="the %s cursor to show" % name)
            finally:
                self.probe.ask("cursorpatch close")
                self.park_pointer()
        return self._system_cursors[name]

    def x_cursor(self):
        """The pointer's image as X shows it: hotspot, size and pixels."""
        image = self._x.xfixes_get_cursor_image(self._x.screen().root)
        return (image.xhot, image.yhot), (image.width, image.height), tuple(image.cursor_image)

    def x_covering(self, xid):
        """The viewable X windows stacked above xid that overlap it."""
        root = self._x.screen().root
        children = root.query_tree().children  # bottom to top
        ids = [c.id for c in children]
        if xid not in ids:
            return []
        mine = self.x_geometry(xid)
        covering = []
        for child in children[ids.index(xid) + 1:]:
            if not self.x_viewable(child.id):
                continue
            x, y, w, h = self.x_geometry(child.id)
            if x < mine[0] + mine[2] and mine[0] < x + w and y < mine[1] + mine[3] and mine[1] < y + h:
                covering.append(hex(child.id))
        return covering

    def x_geometry(self, xid):
        window = self._x_window(xid)
        geometry = window.get_geometry()
        origin = window.translate_coords(self._x.screen().root, 0, 0)
        return -origin.x, -origin.y, geometry.width, geometry.height

    def screenshot(self, label="shot"):
        """The whole screen, saved among the test's artifacts and returned as an RGB image."""
        self._shots += 1
        path = self.artifact_path("%02d-%s.png" % (self._shots, label))
        subprocess.run(["import", "-window", "root", path], env=self.env(), check=True, timeout=WAIT_S,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with Image.open(path) as image:
            return image.convert("RGB")

    def artifact_path(self, name):
        """A path for a file among the current test's artifacts."""
        folder = os.path.join(self.artifacts_dir, self.label)
        os.makedirs(folder, exist_ok=True)
        return os.path.join(folder, re.sub(r"[^\w.-]+", "_", name))

    def begin(self, label):
        """Names the folder of the artifacts that follow."""
        self.label = re.sub(r"[^\w.-]+", "_", label)
        self._shots = 0

    def red_share(self, rect, image=None):
        """The share of strongly red pixels in rect: Wine's error icon is a red disc; its
        other message box icons have none."""
        image = (image or self.screenshot("icon")).crop(tuple(rect))
        pixels = list(image.getdata())
        red = sum(1 for r, g, b in pixels if r > 150 and g < 90 and b < 90)
        return red / max(1, len(pixels))
