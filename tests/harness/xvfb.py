"""A private Xvfb display, without a window manager (one made menus and drags worse)."""

import os
import select
import subprocess

from Xlib import display as xdisplay
from Xlib.error import DisplayError


def check_display(name):
    """Raises, with the remedy, when the X display name cannot be opened."""
    try:
        xdisplay.Display(name).close()
    except (DisplayError, OSError) as error:
        raise RuntimeError("the X display %s cannot be opened (%s). Remedy: start its X server, or unset DISPLAY "
                           "to run on a private display" % (name, str(error).strip())) from None


class Xvfb:
    def __init__(self, width=1024, height=768, preexec_fn=None):
        read_end, write_end = os.pipe()
        try:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
                 "-br", "-nolisten", "tcp"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=preexec_fn)
        except FileNotFoundError:
            os.close(read_end)
            raise RuntimeError("Xvfb is not installed. Remedy: run tools/setup.sh, which installs it") from None
        finally:
            os.close(write_end)
        with os.fdopen(read_end) as pipe:
            ready, _, _ = select.select([pipe], [], [], 30)
            number = pipe.readline().strip() if ready else ""
        if not number:
            self.process.kill()
            self.process.wait()
            raise RuntimeError("Xvfb did not start within 30 s")
        self.display = ":" + number

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
