"""How long cantivo.exe takes from its process start to its icon in the tray, and how much
resident memory it holds then: a figure, measured over many starts in one Wine session.

    /usr/bin/python3 tests/soak/start_time.py                 # 20 starts of the build's exe
    /usr/bin/python3 tests/soak/start_time.py --starts 50 --exe build/win32/app/cantivo.exe

Each start is a copy of the exe in a new folder, started through Wine's loader of its kind,
timed until the probe sees its icon in Wine's tray; the program is then closed as the
system closes it and the tray is left empty for the next start. The first start of
the session is reported apart: it is the one that finds Wine's caches cold.
"""

import argparse
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "harness"))  # run as a script, not by pytest

import options  # noqa: E402
import processes  # noqa: E402
from desktop import Desktop  # noqa: E402
from session import wait_for  # noqa: E402

# The probe is asked this often while the icon is awaited: the figure's resolution.
POLL_S = 0.01
ICON_WAIT_S = 60


def timed_start(desktop):
    """Seconds from the process start to the icon, and the resident memory (kB) then."""
    program = desktop.program_in(desktop.new_program_folder(), "good.html")
    started = time.monotonic()
    program.start(wait_icon=False)
    wait_for(lambda: desktop.tray.icons(), ICON_WAIT_S, interval=POLL_S, what="the tray icon")
    seconds = time.monotonic() - started
    memory = processes.ProgramProcess(desktop.session.prefix, program.exe).resident_kb()
    program.close()
    program.stop()
    return seconds, memory


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    options.add_arguments(parser, options.EXE)
    parser.add_argument("--starts", type=int, default=20)
    args = parser.parse_args()
    print("start time: starting Wine", flush=True)
    desktop = Desktop(args.build_dir, args.wine_dir, os.path.join(ROOT, "build", "soak", "start-artifacts"),
                      exe=args.exe, prefix_name="prefix-start-time", say=print).start()
    try:
        first = timed_start(desktop)
        runs = [timed_start(desktop) for _ in range(args.starts)]
    finally:
        desktop.stop()
    seconds = [s for s, _ in runs]
    memory = [m for _, m in runs if m is not None]
    print("first start of the session: %.3f s to the icon, %s kB resident" % first)
    print("%d starts after it: to the icon median %.3f s, fastest %.3f s, slowest %.3f s" % (
        len(seconds), statistics.median(seconds), min(seconds), max(seconds)))
    print("  each: %s" % " ".join("%.3f" % s for s in seconds))
    if memory:
        print("resident memory at the icon: median %d kB (%d to %d)" % (statistics.median(memory), min(memory),
                                                                         max(memory)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
