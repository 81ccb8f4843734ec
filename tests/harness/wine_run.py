"""Runs a Windows test program under Wine, in the project's own prefix, with a loopback
station behind http_proxy.

  wine_run.py --wine-dir DIR --build-dir DIR [--offline | --no-proxy | --read-only-folder] [--page FILE]
              -- PROGRAM ARGS...

--offline runs it in a network namespace with only a loopback and no route (its own prefix),
where the system reports no connection. --no-proxy sets no proxy, so addresses are reached
directly. The station serves the on-air page where the build tree (--build-dir) put it
(wire_facts.json). The program learns which case it is in from CANTIVO_NETWORK (online, offline,
direct). --read-only-folder makes a folder holding a log file (LOG_BYTES) and runs the program
in a mount namespace where that folder is read-only, so that no file can be created or changed
in it, even by root; the program finds its Windows path in CANTIVO_READONLY_FOLDER. The exit
status is the program's.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import options
from station import Station
from wine import Wine, WineError, command as wine_command, offline
from wire_facts import WireFacts
from xvfb import Xvfb

TIME_LIMIT_S = 540
LOG_BYTES = b'"12/01 10:00","a","b"\r\n'


def main():
    parser = argparse.ArgumentParser()
    options.add_arguments(parser)
    parser.add_argument("--offline", action="store_true")
    parser.add_argument("--no-proxy", action="store_true")
    parser.add_argument("--read-only-folder", action="store_true")
    parser.add_argument("--page")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command

    wine = Wine(args.wine_dir)
    prefix = wine.prefix("prefix-offline" if args.offline else "prefix")
    station = None
    display = Xvfb()
    extra = {"DISPLAY": display.display, "CANTIVO_NETWORK": "offline" if args.offline else "direct" if args.no_proxy else "online"}
    if not (args.offline or args.no_proxy):
        pages = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "pages")
        station = Station(WireFacts.of(args.build_dir).on_air_path, page_file=args.page, pages_dir=pages).start()
        extra["http_proxy"] = station.proxy
    try:
        run = wine_command(command)
    except WineError as error:
        print("wine_run: %s" % error, file=sys.stderr)
        return 1
    if args.offline:
        run = offline(run)
    folder = None
    if args.read_only_folder:
        folder = tempfile.mkdtemp(prefix="cantivo-read-only-")
        with open(os.path.join(folder, WireFacts.of(args.build_dir).log_file_name), "wb") as f:
            f.write(LOG_BYTES)
        extra["CANTIVO_READONLY_FOLDER"] = "Z:" + folder.replace("/", "\\")
        # Wine's server opens the files, so it must start inside the namespace too.
        wine.stop(prefix)
        run = ["unshare", "-m", "--", "sh", "-c",
               'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" && exec "$@"', folder] + run
    try:
        return subprocess.run(run, env=wine.env(prefix, extra), timeout=TIME_LIMIT_S).returncode
    except subprocess.TimeoutExpired:
        print("wine_run: %s did not end within %d s" % (command[0], TIME_LIMIT_S), file=sys.stderr)
        wine.stop(prefix)
        return 124
    finally:
        if folder:
            wine.stop(prefix)  # its server sees the read-only folder; the next run needs another
            shutil.rmtree(folder, ignore_errors=True)
        if station:
            station.stop()
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
