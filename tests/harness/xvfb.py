"""A private Xvfb display, without a window manager (one made menus and drags worse): the one
way the harness starts an X server, for the default session and for every configuration
(configs.py) alike.

    display = Xvfb()                                            # one 1024 x 768 screen
    display = Xvfb([(1024, 768), (1280, 1024)])                 # two screens, joined by Xinerama
    display = Xvfb(work_area=(0, 0, 1024, 728))                 # a taskbar's work area on the root
    display = Xvfb(root_color=(255, 0, 255))                    # a magenta desktop
    ... DISPLAY=display.display ...
    display.stop()
"""

import os
import select
import subprocess

from Xlib import display as xdisplay
from Xlib.error import DisplayError

# The default screen's size; with no taskbar on it the work area is the whole screen.
SCREEN_SIZE = (1024, 768)
START_S = 30
XPROP_S = 20


def check_display(name):
    """Raises, with the remedy, when the X display name cannot be opened."""
    try:
        xdisplay.Display(name).close()
    except (DisplayError, OSError) as error:
        raise RuntimeError("the X display %s cannot be opened (%s). Remedy: start its X server, or unset DISPLAY "
                           "to run on a private display" % (name, str(error).strip())) from None


class Xvfb:
    """screens: each X screen's size. Two or more are joined by Xinerama, with RandR off: Wine
    asks RandR first, and Xvfb's RandR shows one monitor. work_area: left, top, right, bottom,
    set as _NET_WORKAREA on the root before any Wine process starts (Wine asks X for it when its
    server starts). root_color: the root's background, red, green, blue. -noreset keeps the
    root's properties and background when the last client goes."""

    def __init__(self, screens=(SCREEN_SIZE,), work_area=None, root_color=None, preexec_fn=None):
        command = ["Xvfb", "-displayfd", None, "-br", "-nolisten", "tcp"]
        if work_area or root_color:
            command.append("-noreset")
        if len(screens) > 1:
            command += ["+xinerama", "-extension", "RANDR"]
        for number, (width, height) in enumerate(screens):
            command += ["-screen", str(number), "%dx%dx24" % (width, height)]
        read_end, write_end = os.pipe()
        command[2] = str(write_end)
        try:
            self.process = subprocess.Popen(command, pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL, preexec_fn=preexec_fn)
        except FileNotFoundError:
            os.close(read_end)
            raise RuntimeError("Xvfb is not installed. Remedy: run tools/setup.sh, which installs it") from None
        finally:
            os.close(write_end)
        with os.fdopen(read_end) as pipe:
            ready, _, _ = select.select([pipe], [], [], START_S)
            number = pipe.readline().strip() if ready else ""
        if not number:
            self.stop()
            raise RuntimeError("Xvfb did not start within %d s" % START_S)
        self.display = ":" + number
        try:
            if work_area:
                self._set_work_area(work_area)
            if root_color:
                self._set_root_color(root_color)
        except BaseException:
            self.stop()
            raise

    def _set_root_color(self, rgb):
        """The root window's background, what shows where no window is (black with -br)."""
        connection = xdisplay.Display(self.display)
        try:
            screen = connection.screen()
            red, green, blue = rgb
            pixel = screen.default_colormap.alloc_color(red * 257, green * 257, blue * 257).pixel
            screen.root.change_attributes(background_pixel=pixel)
            screen.root.clear_area(0, 0, 0, 0)
            connection.sync()
        finally:
            connection.close()

    def _set_work_area(self, work_area):
        left, top, right, bottom = work_area
        value = "%d, %d, %d, %d" % (left, top, right - left, bottom - top)
        env = dict(os.environ, DISPLAY=self.display)
        subprocess.run(["xprop", "-root", "-format", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA", value],
                       env=env, check=True, timeout=XPROP_S, stdout=subprocess.DEVNULL)
        shown = subprocess.run(["xprop", "-root", "_NET_WORKAREA"], env=env, capture_output=True, text=True,
                               timeout=XPROP_S).stdout
        if value not in shown:
            raise RuntimeError("the work area did not take on display %s: %s" % (self.display, shown.strip()))

    def stop(self):
        if self.process.poll() is not None:
            return
        self.process.terminate()
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
