"""Runs the built cantivo.exe under Wine, in the project's own prefix, until it ends or until
Ctrl-C or SIGTERM, and then stops everything it started.

  run_cantivo.py --build-dir DIR [--wine-dir DIR] [--demo]

With a display (DISPLAY set), Cantivo shows on it and the user clicks. With none, it starts a
private Xvfb display. --demo starts a loopback stand-in for the station serving a sample on-air
page with Japanese text, and points WinInet at it with http_proxy, so Get works without the
internet; with no display it then also does one Get through the tray as a user would, saves a
screenshot of the balloon (build/demo/balloon.png) and prints the texts the balloon shows.

The Wine folder is --wine-dir, else $CANTIVO_WINE_DIR, else build/wine. Exit status: Cantivo's
own when it ends by itself (Exit in its menu), 128 + the signal's number when stopped by one,
1 when a step fails.
"""

import argparse
import os
import signal
import sys
import time

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
# The start command runs on the end-to-end tests' harness (tests/harness/README.md): the same
# session, station and tray driving, so what the README's command shows is what the tests check.
sys.path[:0] = [os.path.join(ROOT, "tests", folder) for folder in ("harness", "pages")]
import options  # noqa: E402
from desktop import Desktop, Program  # noqa: E402
from make_pages import SAMPLE  # noqa: E402
from session import HarnessError, wait_for  # noqa: E402
from shown_balloon import Balloon, drawn_ink  # noqa: E402
from station import Station  # noqa: E402
from wine import WineError  # noqa: E402

SAMPLE_PAGE = os.path.join("tests", "pages", "sample-onair.html")
DEMO_DIR = os.path.join("build", "demo")
# A cold start of Wine and the program, on a loaded machine, well within this.
START_S = 60
ENLARGED = 4


def say(line):
    print(line, flush=True)


class Stopped(Exception):
    def __init__(self, signum):
        super().__init__(signal.Signals(signum).name)
        self.signum = signum


def raise_stopped(signum, frame):
    raise Stopped(signum)


def wait_running(program, headless):
    """Until the program has its tray icon. On a display of the user's own the icon may be
    docked in the desktop's own notification area, out of Wine's sight: there the program's
    main window, which adds the icon as it is made, is what is waited for."""
    def running():
        if not program.running():
            raise HarnessError("Cantivo ended as it started (status %s)" % program.process.returncode)
        if headless:
            return program.desktop.tray.icons()
        return program.main_window()["exists"]
    wait_for(running, START_S, interval=0.2, what="Cantivo's tray icon")


def demo_get(desktop, program):
    """One Get through the tray, a screenshot of the balloon, and the texts it shows, each
    checked glyph for glyph against how this Wine draws the page's text."""
    say("doing a Get: a double-click on Cantivo's tray icon")
    program.double_click_icon()
    balloon = Balloon(program.wait_shown(START_S))
    desktop.screen.park_pointer()
    image = desktop.screen.screenshot("screen")
    path = os.path.join(desktop.artifacts_dir, "balloon.png")
    balloon.crop(image).resize((balloon.width * ENLARGED, balloon.height * ENLARGED), Image.NEAREST).save(path)
    texts = [("time", SAMPLE["shown_time"]), ("main text", SAMPLE["main"]), ("sub text", SAMPLE["sub"])]
    wrong = [name for cell, (name, text) in enumerate(texts)
             if balloon.cell_ink(image, cell) != drawn_ink(desktop.probe, text)]
    if wrong:
        raise HarnessError("the balloon does not show the page's %s: see %s" % (" and ".join(wrong), path))
    say("the balloon, %d times enlarged: %s" % (ENLARGED, os.path.relpath(path, ROOT)))
    say("it shows what the station's page holds (the page's time is %s):" % SAMPLE["time"])
    for name, text in texts:
        say("  %-10s %s" % (name, text))


def prepare(desktop, args, headless):
    """Wine, the display and, for the demo, the station: the program, not yet started, that
    runs against them (it stops the station with itself)."""
    desktop.start()
    if headless:
        say("the display is %s (Xvfb, %s)" % (desktop.session.display, "nothing to see" if not args.demo
                                              else "the demo shows what is on it"))
    station = None
    if args.demo:
        station = Station(desktop.wire.on_air_path, page_file=os.path.join(ROOT, SAMPLE_PAGE)).start()
        say("the demo station: %s, serving %s" % (station.proxy, SAMPLE_PAGE))
    return Program(desktop, os.path.dirname(desktop.exe), station)


def main():
    parser = argparse.ArgumentParser()
    options.add_arguments(parser)
    parser.add_argument("--demo", action="store_true")
    args = parser.parse_args()
    sys.stdout.reconfigure(encoding="utf-8")
    signal.signal(signal.SIGINT, raise_stopped)
    signal.signal(signal.SIGTERM, raise_stopped)

    display = os.environ.get("DISPLAY") or None
    headless = display is None
    if headless:
        say("no display is set: Cantivo runs on a private one")
    # One run per prefix: a second start while this one runs gets a clear message at once.
    desktop = Desktop(args.build_dir, args.wine_dir, os.path.join(ROOT, DEMO_DIR), display=display,
                      prefix_name="prefix-run", persistent_server=False, reference_menus=False, lock_wait=0, say=say)
    program = None
    status = 1
    try:
        program = prepare(desktop, args, headless)
        say("starting Cantivo: %s" % os.path.relpath(desktop.exe, ROOT))
        program.start(wait_icon=False)
        wait_running(program, headless)
        say("Cantivo is running: its icon is in %s" % ("Wine's tray, at the top-left of the display" if headless
                                                      else "the notification area (double-click it to Get)"))
        if headless and args.demo:
            desktop.screen.begin("")
            demo_get(desktop, program)
        say("Ctrl-C ends Cantivo and everything this command started.")
        # A signal may be delivered to any thread, and Python runs its handler only when the
        # main thread runs again: a wait blocked in the system would never see it.
        while program.running():
            time.sleep(0.2)
        status = program.process.returncode
        say("Cantivo has ended (status %d)" % status)
    except Stopped as stop:
        say("%s: stopping Cantivo and everything this command started" % stop)
        status = 128 + stop.signum
    except (HarnessError, WineError, TimeoutError, RuntimeError, OSError) as error:
        say("error: %s" % error)
    finally:
        # The stop runs to its end: each of its waits has a limit of its own.
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        began = time.monotonic()
        if program:
            program.close()
            program.stop()
        desktop.stop()
        say("stopped in %.1f s" % (time.monotonic() - began))
    return status


if __name__ == "__main__":
    sys.exit(main())
