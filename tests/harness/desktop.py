"""Drives Cantivo under Wine as a user would, and reads what happened from outside.

A Desktop is one session (session.py: display, prefix, wineserver, probe) with its screen
(screen.py: pointer, X state, screenshots) and its tray (tray.py: icons, menus). A Program is
one start of cantivo.exe, from a folder of its own, against a loopback station serving a
chosen page.

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

import contextlib
import os
import re
import shutil
import signal
import subprocess
import tempfile

from screen import Screen
from session import WAIT_S, HarnessError, Session, wait_for
from shown_balloon import Balloon
from station import Station
from tray import MENUS, Menu, Tray
from wine import pe_bits
from wire_facts import WireFacts

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PAGES = os.path.join(ROOT, "tests", "pages")

# The mouse messages the tray icon's callback message (Desktop.wire.tray_message) carries, and
# others the program is sent.
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
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


def page_bytes(name):
    """The bytes of a page under tests/pages."""
    with open(os.path.join(PAGES, name), "rb") as f:
        return f.read()


def windows_path(path):
    """The path as a program in the prefix sees it: Wine maps drive Z: to the Unix root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def unix_path(path):
    if not re.match(r"^[zZ]:\\", path):
        raise ValueError("not a Z: path: %r" % path)
    return path[2:].replace("\\", "/")


class Program:
    """One start of cantivo.exe from a folder of its own."""

    stderr_path = None  # where Wine's messages for the current start go, when kept

    def __init__(self, desktop, folder, station=None, proxy=None):
        self.desktop = desktop
        self.folder = folder
        self.exe = os.path.join(folder, "cantivo.exe")
        self.log_path = os.path.join(folder, desktop.wire.log_file_name)
        self.station = station
        self.proxy = proxy or (station.proxy if station else None)
        self.process = None
        self.cwd = None

    # -- process --------------------------------------------------------------------------

    def start(self, wait_icon=True, env=None, stderr=None):
        """Starts the program; env adds to its environment, stderr takes Wine's messages (by
        default a file in the working folder, which a failed start quotes)."""
        extra = dict(env or {})
        if self.proxy:
            extra["http_proxy"] = self.proxy
        # The working folder is another one: the log belongs beside the exe whatever it is.
        self.cwd = tempfile.mkdtemp(prefix="cwd-", dir=self.desktop.session.scratch)
        self.stderr_path = os.path.join(self.cwd, "wine-stderr.log") if stderr is None else None
        with open(self.stderr_path, "wb") if self.stderr_path else contextlib.nullcontext(stderr) as messages:
            self.process = self.desktop.session.popen([self.exe], extra, cwd=self.cwd, stderr=messages)
        if wait_icon:
            self.wait_icon()
        return self

    def start_another(self, exe=None):
        """Another start of this exe (or of exe) while this one runs; returns its process."""
        extra = {"http_proxy": self.station.proxy} if self.station else {}
        return self.desktop.session.popen([exe or self.exe], extra, cwd=self.desktop.session.scratch)

    def serve(self, page):
        """The station serves page from now on (a file name under tests/pages or a path)."""
        self.station.page_file = page if os.path.isabs(page) else os.path.join(PAGES, page)

    def serve_as(self, setup, folder, name):
        """The station answers as setup says: ("page", BYTES), written to folder/name.html and
        served as the on-air page, or a misbehaviour and its arguments (Station.misbehave)."""
        if setup[0] == "page":
            path = os.path.join(folder, name + ".html")
            with open(path, "wb") as f:
                f.write(setup[1])
            self.serve(path)
        else:
            self.station.misbehave(*setup)

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout=WAIT_S):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError("cantivo.exe still runs after %.0f s" % timeout) from None

    def close(self, timeout=10):
        """Ends the program as the system would, with a close request to its main window
        (its icon is then removed by the program itself); kills it if that does not end it."""
        if not self.running():
            return
        try:
            if self.main_window()["exists"]:
                self.post(WM_CLOSE)
                self.wait_exit(timeout)
        except (HarnessError, TimeoutError):
            pass

    def stop(self):
        if self.running():
            os.kill(self.process.pid, signal.SIGKILL)
            self.process.wait()
        # The icon goes with the process; the next program must find the tray empty.
        try:
            wait_for(lambda: not self.desktop.tray.icons(), what="the tray to be empty")
        finally:
            if self.station:
                self.station.stop()

    # -- what the probe sees ---------------------------------------------------------------

    def main_window(self):
        return self.desktop.probe.ask("window " + self.desktop.wire.main_window_class)

    def application_window(self):
        return self.desktop.probe.ask("window " + self.desktop.wire.application_window_class)

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
                and window["layered"]["alpha"] == self.desktop.wire.balloon_alpha
                and self.desktop.screen.x_viewable(window["xid"])
                and self.desktop.screen.x_opacity(window["xid"]) == self.desktop.wire.balloon_x_opacity) and window

    def hidden(self):
        window = self.main_window()
        return window["exists"] and not window["visible"] and not self.desktop.screen.x_viewable(window["xid"])

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

    def send(self, message, wparam=0, lparam=0, limit_s=15):
        """message sent to the main window, waited for limit_s at most: the probe's answer,
        with whether the program answered ("answered") and how long it took ("ms")."""
        return self.desktop.probe.ask("send %d %d %d %d %d" % (self.main_window()["hwnd"], message, wparam, lparam,
                                                               limit_s * 1000), timeout=limit_s + WAIT_S)

    def close_balloon(self):
        """The shown balloon closed with a right-click on its body, as a user closes it."""
        self.desktop.screen.click(*Balloon(self.wait_shown()).body_point(), button=3)
        self.wait_hidden()

    def wait_idle(self, timeout):
        """Waits until the program answers the tray again: its menu opens. Returns the menu."""
        self.right_click_icon()
        return self.wait_menu(timeout=timeout)

    def get_until_shown(self, timeout=WAIT_S):
        """Double-clicks the icon until a Get shows the balloon: a Get made while an earlier,
        given-up download still lives ends at once, with nothing shown."""
        def shown():
            self.double_click_icon()
            try:
                return self.wait_shown(timeout=3)
            except TimeoutError:
                return None
        return wait_for(shown, timeout, interval=0.5, what="a Get that shows the page")

    def post_command(self, name):
        """A menu command ("get", "save", "exit") as a chosen item posts it."""
        self.post(WM_COMMAND, self.desktop.wire.menu_commands[name])

    def post_tray(self, mouse_message):
        """The tray's callback as explorer sends it, with the mouse message in lParam."""
        self.post(self.desktop.wire.tray_message, 1, mouse_message)

    def log_bytes(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    def on_air_requests(self):
        return [r for r in self.station.requests if self.station.on_air_path in r.split("\r\n", 1)[0]]

    # -- the tray icon ---------------------------------------------------------------------

    def wait_icon(self, timeout=WAIT_S):
        def icon():
            if not self.running():
                raise HarnessError("cantivo.exe ended (status %s) before its icon appeared; Wine said: %s"
                                   % (self.process.returncode, self.wine_said()))
            return self.desktop.tray.icons()
        return wait_for(icon, timeout, what="the tray icon")[0]

    def wine_said(self):
        """The end of what Wine printed for this start, when it went to the default file."""
        try:
            with open(self.stderr_path, "rb") as f:
                return f.read()[-1500:].decode(errors="replace").strip() or "nothing"
        except (OSError, TypeError):
            return "(not kept)"

    def icon_centre(self):
        icons = self.desktop.tray.icons()
        if len(icons) != 1:
            raise HarnessError("expected one tray icon, found %d" % len(icons))
        left, top, right, bottom = icons[0]["rect"]
        return (left + right) // 2, (top + bottom) // 2

    def double_click_icon(self):
        self.desktop.screen.click(*self.icon_centre(), button=1, count=2)

    def click_icon(self, button=1):
        self.desktop.screen.click(*self.icon_centre(), button=button)

    def right_click_icon(self):
        """Right-clicks the icon and returns the pointer's position.

        Without a window manager a click on the tray makes explorer take the X focus, and
        when that reaches the program after it has made its own window the foreground for the
        menu, Wine cancels the menu (WM_CANCELMODE) before it is seen. So the tray is made the
        foreground first, by a click on its empty part, and the icon clicked only then."""
        self.desktop.tray.make_foreground()
        x, y = self.icon_centre()
        self.desktop.screen.click(x, y, button=3)
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
    """One session with its screen and tray, and the programs started in it: copies of exe
    (by default build_dir's own; the probe is always build_dir's). offline=True runs
    every Wine process of the session where the system reports no connection (a prefix of its
    own). env: variables for every Wine process of the session (Session). reference_menus
    draws the program's two menus at the start, while nothing else is on the screen to cover
    them."""

    def __init__(self, build_dir, wine_dir, artifacts_dir, exe=None, offline=False, network=None, display=None,
                 prefix_name=None, persistent_server=True, reference_menus=True, lock_wait=600, say=None, env=None):
        self.build_dir = os.path.abspath(build_dir)
        self.exe = os.path.abspath(exe or os.path.join(self.build_dir, "app", "cantivo.exe"))
        self.artifacts_dir = os.path.abspath(artifacts_dir)
        # What the program shows the world, as build_dir's build set it: the exe under test is
        # that build's or a release of the same sources.
        self.wire = WireFacts.of(self.build_dir)
        self.offline = offline
        self.session = Session(self.build_dir, wine_dir,
                               prefix_name or ("prefix-e2e-offline" if offline else "prefix-e2e"),
                               display=display, offline=offline, network=network,
                               persistent_server=persistent_server,
                               lock_wait=lock_wait, log_dir=self.artifacts_dir, say=say, env=env)
        self.reference_menus = reference_menus
        self.screen = None
        self.tray = None

    @property
    def probe(self):
        return self.session.probe

    @property
    def exe_bits(self):
        """32 or 64: the machine the exe was built for."""
        return pe_bits(self.exe)

    def start(self):
        if not os.path.isfile(self.exe):
            raise HarnessError("%s is missing: build it first" % self.exe)
        os.makedirs(self.artifacts_dir, exist_ok=True)
        self.session.start()
        self.screen = Screen(self.session, self.artifacts_dir)
        self.tray = Tray(self.session, self.screen)
        if self.reference_menus:
            for captions in MENUS:
                self.tray.reference_menu(captions)
        return self

    def stop(self):
        if self.screen:
            self.screen.close()
            self.screen = None
        self.session.stop()

    def new_program_folder(self):
        """A new folder holding a copy of cantivo.exe."""
        folder = tempfile.mkdtemp(prefix="program-", dir=self.session.scratch)
        shutil.copy(self.exe, folder)
        return folder

    def start_program(self, page=None, log=None, wait_icon=True):
        """cantivo.exe copied into a new folder of its own and started there, with a station
        serving page (a file name under tests/pages or a path). log, when given, is written to
        cantivolog.log beside the exe first."""
        folder = self.new_program_folder()
        if log is not None:
            with open(os.path.join(folder, self.wire.log_file_name), "wb") as f:
                f.write(log)
        return self.program_in(folder, page).start(wait_icon)

    def start_program_behind(self, proxy=None):
        """cantivo.exe copied into a new folder of its own and started with proxy (a URL) as
        its http_proxy, or with none; no station of ours: the session's network holds one."""
        return Program(self, self.new_program_folder(), proxy=proxy).start()

    def program_in(self, folder, page=None, station=True):
        """A Program for the cantivo.exe already in folder, not yet started."""
        if page and not os.path.isabs(page):
            page = os.path.join(PAGES, page)
        running = (Station(self.wire.on_air_path, page_file=page, pages_dir=PAGES).start()
                   if station and not self.offline else None)
        return Program(self, folder, running)
