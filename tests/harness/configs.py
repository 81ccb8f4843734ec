r"""The configurations users have besides the one every end-to-end test runs in (Japanese code
page 932, 96 dpi, one screen whose work area is the whole screen), each set up as Wine and X
allow here:

- a Western system code page (1252): the session's locale is C.UTF-8 instead of ja_JP;
- 120, 144 or 192 dpi: Wine's LogPixels, set in a prefix of the dpi's own before its session;
- the work area with a taskbar at one edge: _NET_WORKAREA on the X root before the Wine session
  starts. Wine asks X for it when its server starts. SPI_SETWORKAREA does not serve: called
  from the probe, it changed the probe's own work area, and a second process still saw the
  whole screen;
- two monitors: Xvfb with two screens joined by Xinerama and without RandR. Wine asks RandR
  first, and Xvfb's RandR shows one monitor; Xinerama shows two. Xvfb puts both screens at the
  origin, so the two monitors overlap: the primary 1024 x 768, the other 1280 x 1024;
- a dark high-contrast theme's system colours (white window text on black), which Wine reads
  from HKCU\Control Panel\Colors when its session starts, with a magenta desktop behind the
  balloon (the X root's background), so that whatever the colour key lets through shows. Wine
  8 reports high contrast as off whatever is set (SPI_GETHIGHCONTRAST), so only the colours
  themselves come from the theme.

    config = CONFIGS["dpi-144"]
    display = start_display(config)              # an Xvfb of the config's own (xvfb.py)
    prepare_prefix(wine, config)                 # the prefix made and set up
    desktop = Desktop(..., prefix_name=config.prefix_name, env=config.env, display=display.display)
"""

import os

from session import own_group_dying_with_parent
from xvfb import SCREEN_SIZE as SCREEN, Xvfb

TASKBAR = 40  # pixels, a taskbar's usual height at 96 dpi
WESTERN_LOCALE = {"LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"}
# A prefix holds its settings in its registry; these are applied once after it is made.
SETTINGS_MARK = ".cantivo-settings"


class Config:
    """name: as --config gives it. env: variables for every Wine process. dpi: Wine's LogPixels.
    work_area: left, top, right, bottom, or None for the whole screen. screens: the X screens'
    sizes, joined by Xinerama when there are two. prefix: the prefix's name;
    configs that differ only on the X side share one."""

    def __init__(self, name, env=None, dpi=96, work_area=None, screens=(SCREEN,), prefix=None, colors=None,
                 desktop_color=None):
        self.name = name
        self.env = dict(env or {})
        self.dpi = dpi
        self.colors = dict(colors or {})
        self.desktop_color = desktop_color
        self.screens = list(screens)
        self.work_area = tuple(work_area) if work_area else (0, 0) + self.screens[0]
        self.prefix_name = "prefix-cfg-" + (prefix or name)

    @property
    def font_em(self):
        """The balloon font's em in pixels: 12 at 96 dpi, scaled and rounded as MulDiv does."""
        return (12 * self.dpi + 48) // 96

    def registry(self):
        """(key, value, type, data) the prefix needs."""
        settings = [(r"HKCU\Control Panel\Colors", name, "REG_SZ", "%d %d %d" % rgb) for name, rgb in self.colors.items()]
        if self.dpi != 96:
            settings.append((r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", str(self.dpi)))
        return settings

    def __repr__(self):
        return "Config(%s)" % self.name


# The colours a dark high-contrast theme sets ("Night sky", High Contrast Black): white text on
# black, the selection in cyan.
HIGH_CONTRAST_DARK = {
    "Window": (0, 0, 0), "WindowText": (255, 255, 255), "Hilight": (0, 255, 255), "HilightText": (0, 0, 0),
    "ButtonFace": (0, 0, 0), "ButtonText": (255, 255, 255), "InfoWindow": (0, 0, 0), "InfoText": (255, 255, 255),
}
MAGENTA = (255, 0, 255)


def _taskbar(edge):
    width, height = SCREEN
    return {"bottom": (0, 0, width, height - TASKBAR), "top": (0, TASKBAR, width, height),
            "left": (TASKBAR, 0, width, height), "right": (0, 0, width - TASKBAR, height)}[edge]


CONFIGS = {config.name: config for config in [
    Config("western", env=WESTERN_LOCALE),
    *[Config("dpi-%d" % dpi, dpi=dpi) for dpi in (120, 144, 192)],
    *[Config("taskbar-" + edge, work_area=_taskbar(edge), prefix="screens") for edge in ("bottom", "top", "left", "right")],
    # The second screen larger: its corner and the desktop's are not the primary monitor's.
    Config("two-monitors", screens=[SCREEN, (1280, 1024)], prefix="screens"),
    Config("high-contrast", colors=HIGH_CONTRAST_DARK, desktop_color=MAGENTA),
]}


def prepare_prefix(wine, config):
    """The config's prefix, made if need be, with its registry settings applied once (the mark
    holds them, so a changed setting applies anew). Run while no session uses the prefix."""
    prefix = wine.prefix(config.prefix_name)
    settings = config.registry()
    mark = os.path.join(prefix, SETTINGS_MARK)
    wanted = repr(settings)
    try:
        with open(mark) as f:
            if f.read() == wanted:
                return prefix
    except OSError:
        pass
    for key, value, kind, data in settings:
        wine.say("setting %s to %s in %s" % (value, data, prefix))
    wine.reg_add(prefix, settings, env=wine.env(prefix, config.env))
    with open(mark, "w") as f:
        f.write(wanted)
    return prefix


def start_display(config):
    """A private Xvfb of the config's own: its screens, and its work area on the root."""
    return Xvfb(config.screens, work_area=config.work_area, root_color=config.desktop_color,
                preexec_fn=own_group_dying_with_parent)
