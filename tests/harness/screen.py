"""The screen as a user and X see it: the pointer and clicks (xdotool), X windows and their
properties, the cursor's image, and screenshots saved among a test's artifacts.

    screen = Screen(session, artifacts_dir)
    screen.click(100, 200)
    image = screen.screenshot("label")
"""

import contextlib
import os
import re
import select
import subprocess
import threading
import time

from PIL import Image
from Xlib import X, display as xdisplay

from session import HarnessError, WAIT_S, wait_for

# Wine's default double-click time is 0.5 s; presses further apart than this are separate clicks.
DOUBLE_CLICK_S = 0.6


class Screen:
    def __init__(self, session, artifacts_dir):
        self.session = session
        self.artifacts_dir = os.path.abspath(artifacts_dir)
        os.makedirs(self.artifacts_dir, exist_ok=True)
        self.x = xdisplay.Display(session.display)
        self.x.xfixes_query_version()  # XFixes answers nothing before the version is agreed
        self.label = "session"
        self._shots = 0
        self._last_press = {}
        self._system_cursors = {}

    def close(self):
        self.x.close()

    def env(self):
        return self.session.env()

    @property
    def probe(self):
        return self.session.probe

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
        focus = self.x.get_input_focus().focus
        return focus if isinstance(focus, int) else focus.id

    def x_window(self, xid):
        return self.x.create_resource_object("window", xid)

    def x_viewable(self, xid):
        if not xid:
            return False
        try:
            return self.x_window(xid).get_attributes().map_state == X.IsViewable
        except Exception:  # a window gone between two questions
            return False

    def x_opacity(self, xid):
        """_NET_WM_WINDOW_OPACITY, where Wine puts a layered window's alpha; None if unset."""
        atom = self.x.intern_atom("_NET_WM_WINDOW_OPACITY")
        try:
            prop = self.x_window(xid).get_full_property(atom, X.AnyPropertyType)
        except Exception:
            return None
        return prop.value[0] if prop and len(prop.value) else None

    @contextlib.contextmanager
    def opacity_changes(self, xid):
        """Records, while the block runs, every value xid's _NET_WM_WINDOW_OPACITY is set to
        (None for a removal): a fade shows as a run of values. Values set faster than they
        can be read may be seen as the later one, never as one that was not set."""
        connection = xdisplay.Display(self.session.display)
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
        image = self.x.xfixes_get_cursor_image(self.x.screen().root)
        return (image.xhot, image.yhot), (image.width, image.height), tuple(image.cursor_image)

    def x_covering(self, xid):
        """The viewable X windows stacked above xid that overlap it."""
        root = self.x.screen().root
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
        window = self.x_window(xid)
        geometry = window.get_geometry()
        origin = window.translate_coords(self.x.screen().root, 0, 0)
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

