"""Runs the built cantivo.exe under Wine, in the project's own prefix, until it ends or until
Ctrl-C, and then stops everything it started.

  run_cantivo.py EXE [--demo]

It uses the user's display, or starts an Xvfb display when there is none. --demo starts a
loopback stand-in for the station serving a sample on-air page with Japanese text, and points
WinInet at it with http_proxy, so Get works without the internet.
"""

import argparse
import os
import signal
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests", "harness"))
from station import Station  # noqa: E402
from wine import Wine  # noqa: E402
from xvfb import Xvfb  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--demo", action="store_true")
    args = parser.parse_args()

    wine = Wine(os.path.join(ROOT, "build", "wine"))
    prefix = wine.prefix("prefix-run")
    extra, display, station = {}, None, None
    if not os.environ.get("DISPLAY"):
        display = Xvfb()
        extra["DISPLAY"] = display.display
        print("no display: started Xvfb on %s" % display.display)
    if args.demo:
        station = Station(page_file=os.path.join(ROOT, "tests", "pages", "sample-onair.html")).start()
        extra["http_proxy"] = station.proxy
        print("demo station on %s" % station.proxy)
    program = subprocess.Popen(["wine", os.path.abspath(args.exe)], env=wine.env(prefix, extra))
    print("Cantivo is running (double-click its tray icon; Ctrl-C here ends it)")
    signal.signal(signal.SIGTERM, lambda *a: program.terminate())
    try:
        program.wait()
    except KeyboardInterrupt:
        program.terminate()
    finally:
        wine.stop(prefix)
        if station:
            station.stop()
        if display:
            display.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
