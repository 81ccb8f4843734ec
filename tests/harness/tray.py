"""Wine's notification area and the program's popup menu, as the probe and X see them.

Without a virtual desktop, Wine puts tray icons in a small X window named "Wine System Tray"
at the top-left of the screen, each a child window of its own. The program's menu is a
top-level window of class #32768; which menu it is, is told by comparing its pixels with menus
the probe draws with the same Wine code and fonts.
"""

from PIL import ImageChops

from session import HarnessError, wait_for

# The captions the program's menu can show, as the program writes them.
GET = "取得(&G)"
SAVE = "保存(&S)"
EXIT = "終了(&X)"
# The two menus it can show: exactly one of Get and Save, a separator, Exit.
MENUS = ([GET, "-", EXIT], [SAVE, "-", EXIT])


class Tray:
    def __init__(self, session, screen):
        self.session = session
        self.screen = screen
        self._references = {}

    @property
    def probe(self):
        return self.session.probe

    def window(self):
        return self.probe.ask("tray")

    def icons(self):
        tray = self.window()
        return [icon for icon in tray.get("icons", []) if icon["visible"]] if tray["exists"] else []

    def empty_point(self):
        """A point in the tray window's client part that no icon covers."""
        tray = self.window()
        left, top, right, bottom = tray["rect"]
        icons = [icon["rect"] for icon in tray.get("icons", [])]
        for x in range(right - 8, left, -8):
            y = bottom - 8
            if not any(l <= x < r and t <= y < b for l, t, r, b in icons):
                return x, y
        raise HarnessError("the tray has no empty place to click")

    def foreground(self):
        return self.probe.ask("foreground")

    def make_foreground(self):
        """The tray window made the foreground by a click on its empty part."""
        tray = self.window()
        if self.foreground().get("hwnd") != tray["hwnd"]:
            self.screen.click(*self.empty_point())
            wait_for(lambda: self.foreground().get("hwnd") == tray["hwnd"], what="the tray to be the foreground")

    def reference_menu(self, captions):
        """The pixels of a popup menu with these captions drawn by the probe (cached)."""
        key = tuple(captions)
        if key not in self._references:
            answer = self.probe.ask("showmenu 400 300 " + "|".join(captions))
            try:
                self.screen.park_pointer()
                menu = answer["menu"]
                covering = self.screen.x_covering(menu["xid"])
                if covering:
                    raise HarnessError("X windows %s are stacked above the reference menu" % covering)
                image = self.screen.screenshot("reference-menu").crop(tuple(menu["rect"]))
            finally:
                self.probe.ask("closemenu")
            self._references[key] = image
        return self._references[key]

    def wait_no_tooltip(self):
        def gone():
            windows = self.probe.ask("windows")["windows"]
            return not any(w["class"] == "tooltips_class32" and w["visible"] for w in windows)
        wait_for(gone, what="the tray's tooltip to go")


class Menu:
    """An open popup menu of the program."""

    def __init__(self, program, info):
        self.program = program
        self.tray = program.desktop.tray
        self.screen = program.desktop.screen
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
        self.screen.park_pointer()
        self.tray.wait_no_tooltip()
        covering = self.screen.x_covering(self.xid)
        if covering:
            raise HarnessError("X windows %s are stacked above the menu" % covering)
        return self.screen.screenshot(label).crop(self.rect)

    def captions(self):
        """Which of the program's possible menus this is, as [caption, ...] with "-" for the
        separator; None when it matches none of them."""
        shown = self.image()
        for candidate in MENUS:
            reference = self.tray.reference_menu(candidate)
            if reference.size == shown.size and ImageChops.difference(reference, shown).getbbox() is None:
                return candidate
        return None

    def choose(self, key):
        """Picks an item by its access key, giving the key to where Wine's menu loop reads it."""
        if self.screen.x_focus() in self.program.x_windows():
            # The program's own window has the X focus: moving it away would cancel the menu.
            self.screen.xdotool("key", key)
        else:
            self.screen.xdotool("windowfocus", self.xid, "key", key)
        self.wait_closed()

    def click_row(self, row, rows):
        """Clicks inside row (0-based) of a menu of rows entries laid out from top to bottom,
        separators counted as rows of a third of an item's height."""
        left, top, right, bottom = self.rect
        heights = [1.0 / 3 if r == "-" else 1.0 for r in rows]
        unit = (bottom - top - 6) / sum(heights)
        y = top + 3 + unit * (sum(heights[:row]) + heights[row] / 2)
        self.screen.click((left + right) // 2, int(y))
        self.wait_closed()

    def escape(self):
        self.choose("Escape")

    def wait_closed(self):
        wait_for(lambda: not self.is_open(), what="the menu to close")
