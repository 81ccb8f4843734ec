"""The soak: one cantivo.exe under Wine, driven through the tray and the balloon for thousands
of cycles, its holdings sampled as it goes, so that any per-cycle growth shows as a slope.

    /usr/bin/python3 tests/soak/soak.py                       # the full length
    /usr/bin/python3 tests/soak/soak.py --closes 300 --saves 100 --errors 50 --offline 50 --every 50
    /usr/bin/python3 tests/soak/soak.py --order save,close --time-limit 3600 --samples FILE

The cycles, by default in this order, each back to the idle tray at its end:
  close   a double-click on the icon (Get), the fade-in, then a close: by the close button and
          by a right-click on the text, in turn
  save    Get and Save (from the menu) of a new song each time: the log grows a line a cycle
  error   Get of a page whose time line does not read; the error box answered
  offline Get while the network is switched off under the running program; "not connected."
          answered (the whole session runs in a network of its own: see netswitch.py)

What is sampled, every --every cycles and at the start of each kind:
  from Win32, asked by the probe about the program's process: GDI and USER objects
  (GetGuiResources), kernel handles (GetProcessHandleCount), private bytes and working set
  (GetProcessMemoryInfo); any may be null where Wine does not report it
  from the probe too: the size of the process's handle table and its threads, from the
  system's process list, and all its windows (child and message-only ones too)
  from Wine's own trace (WINEDEBUG=+pid,+gdi, the program's stderr): the live GDI objects,
  the number Wine's GDI handle table prints with each allocation and release
  from Linux: the resident memory (VmRSS) and open file descriptors of the program's process

Each sample is one JSON line in --samples; the summary at the end fits a line to each figure
over the samples after the warm-up, per cycle kind, and prints it.
"""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
# Run as a script, or imported by its pytest run: the harness and the page builders either way.
sys.path[:0] = [os.path.join(ROOT, "tests", folder) for folder in ("harness", "pages")]

import options  # noqa: E402
import processes  # noqa: E402
from desktop import PAGES, WM_RBUTTONDOWN, Desktop, Program  # noqa: E402
from make_pages import main_line, page, sub_line, time_line  # noqa: E402
from session import HarnessError, own_group_dying_with_parent, wait_for  # noqa: E402
from netswitch import SwitchableNetwork  # noqa: E402
from shown_balloon import Balloon  # noqa: E402
from station import Station  # noqa: E402
from tray import EXIT, SAVE  # noqa: E402
from wine import command as wine_command  # noqa: E402

# The figures a sample holds, beside its cycle and kind.
FIGURES = ("gdi_traced", "gdi", "user", "handles", "listed_handles", "threads", "all_windows", "private_bytes",
           "working_set", "rss_kb", "fds")
# What the probe is asked for, among them.
REPORTED = ("gdi", "user", "handles", "listed_handles", "threads", "all_windows", "private_bytes", "working_set")
KINDS = ("close", "save", "error", "offline")
# Cycles that may go other than driven (a click or key lost by a loaded X server) before the
# soak gives up; each is reported.
MAX_HICCUPS = 10
# The balloon's close timer (CloseTimer): its period, how long a cycle that shows the balloon
# may take at most, and how late after its period a tick may still come.
CLOSE_TIMER_S = 60
CYCLE_CLEARANCE_S = 6
TICK_MARGIN_S = 1
MK_RBUTTON = 0x0002
# How often Save is chosen before a cycle counts as gone wrong, and how long its effect (the
# balloon hidden) may take.
MENU_TRIES = 3
MENU_CHOICE_S = 5
# A sample is read until two readings this far apart agree on the object counts.
SETTLE_S = 0.3
SETTLE_TRIES = 10
# The part of each kind's samples left out of the fit: the program's caches and Wine's fill then.
WARM_UP_SHARE = 0.2


# Wine's trace of a GDI allocation or release, with the count of live objects after it.
GDI_COUNT = re.compile(rb":(?:alloc|free)_gdi_handle (?:allocated|freed) \S+ 0x[0-9a-f]+ (\d+)/")
# How much of the trace's end is read for the last count: many cycles' worth.
TRACE_TAIL = 256 * 1024


class TracedProgram(Program):
    """cantivo.exe with Wine's GDI trace on, its stderr written to a file beside it: every
    GDI allocation and release is logged with the count of live GDI objects after it."""

    _process = None

    def start(self, wait_icon=True):
        session = self.desktop.session
        extra = {"WINEDEBUG": "+pid,+gdi"}
        if self.station:
            extra["http_proxy"] = self.station.proxy
        self.cwd = tempfile.mkdtemp(prefix="cwd-", dir=session.scratch)
        self.close_timer = CloseTimer()  # off in a program just started
        self.trace_path = os.path.join(self.cwd, "gdi-trace.log")
        with open(self.trace_path, "wb") as trace:
            self.process = subprocess.Popen(session.wrap(wine_command([self.exe])), env=session.env(extra), cwd=self.cwd,
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=trace,
                                            preexec_fn=own_group_dying_with_parent)
        if wait_icon:
            self.wait_icon()
        return self

    def unix_pid(self):
        """The Linux process that runs cantivo.exe."""
        if self._process is None:
            self._process = processes.ProgramProcess(self.desktop.session.prefix, self.exe)
        pid = self._process.pid()
        if not pid:
            raise HarnessError("no Linux process runs %s" % self.exe)
        return pid

    def live_gdi_objects(self):
        """The count of live GDI objects Wine printed last for the program's process, with
        an allocation ("allocated KIND HANDLE N/MAX") or a release ("freed KIND HANDLE N/MAX").
        None before the first."""
        mark = b"%04x:" % self.pid()
        with open(self.trace_path, "rb") as trace:
            trace.seek(0, os.SEEK_END)
            trace.seek(max(0, trace.tell() - TRACE_TAIL))
            lines = trace.read().splitlines()
        for line in reversed(lines):
            match = GDI_COUNT.search(line)
            if line.startswith(mark) and match:
                return int(match.group(1))
        return None


def sample(program, cycle, kind):
    """The program's holdings once they have settled: a window or GDI object of a box just
    answered may be on its way out for a moment."""
    previous = None
    for _ in range(SETTLE_TRIES):
        record = read_figures(program, cycle, kind)
        if previous and all(record[f] == previous[f] for f in ("all_windows", "gdi_traced", "listed_handles")):
            break
        previous = record
        time.sleep(SETTLE_S)
    return record


def read_figures(program, cycle, kind):
    pid = program.unix_pid()
    record = {"cycle": cycle, "kind": kind, "time": round(time.time(), 1)}
    reported = program.desktop.probe.ask("resources %d" % program.pid())
    record.update((figure, reported.get(figure)) for figure in REPORTED)
    record["gdi_traced"] = program.live_gdi_objects()
    record["rss_kb"] = processes.resident_kb(pid)
    record["fds"] = processes.open_fds(pid)
    return record


# -- the cycles ------------------------------------------------------------------------------

def song_page(folder, number):
    """A page of its own for song number: its own time, main text and sub text."""
    path = os.path.join(folder, "song-%05d.html" % number)
    with open(path, "wb") as f:
        f.write(page(time_line("%02d:%02d" % (number // 60 % 24, number % 60)),
                     main_line("耐久の歌%05d" % number), sub_line("合唱団%05d" % number)))
    return path


class CloseTimer:
    """The balloon's one-minute close timer, as the program runs it: a show enables it when it
    is off, and 60 s later it ticks, closing whatever balloon is shown then, and goes off. A
    show while it runs does not restart it, so a balloon shown just before the tick closes at
    once, as it should. The soak drives its cycles, not that tick: a cycle that shows the
    balloon begins only where no tick can come during it, and otherwise waits for the tick."""

    def __init__(self):
        self.tick_from = None  # the running period's tick comes between these two moments
        self.tick_by = None

    def show(self, program):
        now = time.monotonic()
        # A tick that may come during this cycle, or has come already: the timer is off after it.
        if self.tick_by is not None and now + CYCLE_CLEARANCE_S > self.tick_from:
            time.sleep(max(0.0, self.tick_by - now))
            self.tick_by = None
        asked = time.monotonic()
        program.double_click_icon()
        shown = program.wait_shown()
        if self.tick_by is None:
            self.tick_from = asked + CLOSE_TIMER_S
            self.tick_by = time.monotonic() + CLOSE_TIMER_S + TICK_MARGIN_S
        return shown


def show(program):
    return Balloon(program.close_timer.show(program))


def close_cycle(program, number):
    program.serve("good.html")
    balloon = show(program)
    if number % 2:
        program.desktop.screen.click(*balloon.button_centre())
    else:
        program.desktop.screen.click(*balloon.at(12, balloon.H + 14), button=3)
    program.wait_hidden()


def save_cycle(program, number, pages):
    """Returns how many times the menu had to be opened again: now and then, on a loaded
    machine, Wine closes the menu as the click reaches it (a focus change cancels it), and the
    user opens it again."""
    program.serve(song_page(pages, number))
    show(program)
    for again in range(MENU_TRIES):
        # By mouse: a key for the menu depends on where Wine has put the X focus.
        program.open_menu().click_row(0, [SAVE, "-", EXIT])
        try:
            program.wait_hidden(timeout=MENU_CHOICE_S)
            break
        except TimeoutError:
            if program.hidden():
                break
            if again == MENU_TRIES - 1:
                raise
    os.remove(program.station.page_file)
    return again


def error_cycle(program, number):
    program.serve("bad-time.html")
    program.double_click_icon()
    program.press(program.wait_box("Cantivo"))


def offline_cycle(program, number):
    program.serve("good.html")  # never fetched: the Get stops at the connection check
    program.double_click_icon()
    program.press(program.wait_box("not connected."))


# -- the run ---------------------------------------------------------------------------------

class Soak:
    def __init__(self, program, samples_path, every, say=print):
        self.program = program
        self.samples_path = samples_path
        self.every = every
        self.say = say
        self.samples = []
        self.hiccups = []
        self.menu_retries = 0
        self.pages = tempfile.mkdtemp(prefix="soak-pages-", dir=program.desktop.session.scratch)

    def recover(self, kind, number, error):
        """After a cycle that did not go as driven: the program must still run; whatever it
        left open (a menu, a box, the balloon) is closed, and the run goes on, up to
        MAX_HICCUPS times. Each is reported, with a screenshot."""
        program = self.program
        self.hiccups.append("%s %d: %s" % (kind, number, error))
        self.say("hiccup in %s cycle %d: %s" % (kind, number, error))
        program.desktop.screen.screenshot("hiccup-%s-%d" % (kind, number))
        if not program.running() or len(self.hiccups) > MAX_HICCUPS:
            raise error
        for menu in program.menus():
            program.desktop.screen.xdotool("windowfocus", menu["xid"], "key", "Escape")
        wait_for(lambda: not program.menus(), what="the menu to close after a hiccup")
        for box in program.boxes():
            program.press(box)
        if program.main_window()["visible"]:
            program.post(WM_RBUTTONDOWN, MK_RBUTTON, (30 << 16) | 12)
            program.wait_hidden()

    def record(self, cycle, kind):
        record = sample(self.program, cycle, kind)
        self.samples.append(record)
        with open(self.samples_path, "a") as f:
            f.write(json.dumps(record) + "\n")
        return record

    def run(self, kind, count, deadline=None):
        """count cycles of kind, sampled before the first and after every `every`; returns
        how many ran (fewer once the deadline has passed). The network is off for the
        "offline" kind's cycles, and on again after."""
        if kind == "offline":
            self.program.desktop.session.network.switch(online=False)
            try:
                return self._run(kind, count, deadline)
            finally:
                self.program.desktop.session.network.switch(online=True)
        return self._run(kind, count, deadline)

    def _run(self, kind, count, deadline):
        step = {"close": close_cycle, "save": lambda p, n: save_cycle(p, n, self.pages),
                "error": error_cycle, "offline": offline_cycle}[kind]
        self.record(0, kind)
        started = time.monotonic()
        for number in range(1, count + 1):
            try:
                self.menu_retries += step(self.program, number) or 0
            except (HarnessError, TimeoutError) as error:
                self.recover(kind, number, error)
            if number % self.every == 0 or number == count:
                record = self.record(number, kind)
                self.say("%s %d/%d (%.2f s a cycle): %s" % (kind, number, count, (time.monotonic() - started) / number,
                                                             " ".join("%s=%s" % (f, record[f]) for f in FIGURES)))
            if deadline is not None and time.time() >= deadline:
                self.say("%s: the time limit is reached after %d cycles" % (kind, number))
                if number % self.every:
                    self.record(number, kind)
                return number
        return count


def fit(points):
    """The least-squares line through (x, y) points: (slope, intercept); None for fewer than 3."""
    points = [(x, y) for x, y in points if y is not None]
    if len(points) < 3:
        return None
    n = len(points)
    mean_x = sum(x for x, _ in points) / n
    mean_y = sum(y for _, y in points) / n
    spread = sum((x - mean_x) ** 2 for x, _ in points)
    if spread == 0:
        return None
    slope = sum((x - mean_x) * (y - mean_y) for x, y in points) / spread
    return slope, mean_y - slope * mean_x


def after_warm_up(samples, share=WARM_UP_SHARE):
    """The samples of one kind past its warm-up share of cycles."""
    last = max(s["cycle"] for s in samples)
    return [s for s in samples if s["cycle"] >= last * share]


def growth(samples, kind, figure, share=WARM_UP_SHARE):
    """For one kind and figure: the fitted slope per cycle after the warm-up, and the value at
    the end minus the first value after the warm-up; None where the figure is not read."""
    warm = after_warm_up([s for s in samples if s["kind"] == kind], share)
    values = [(s["cycle"], s[figure]) for s in warm if s[figure] is not None]
    if len(values) < 2:
        return None
    line = fit(values)
    return {"slope": line[0] if line else None, "difference": values[-1][1] - values[0][1],
            "first": values[0][1], "last": values[-1][1], "cycles": warm[-1]["cycle"] - warm[0]["cycle"]}


def summary(samples, share=WARM_UP_SHARE):
    lines = []
    for kind in KINDS:
        if not any(s["kind"] == kind for s in samples):
            continue
        cycles = max(s["cycle"] for s in samples if s["kind"] == kind)
        lines.append("%s: %d cycles" % (kind, cycles))
        for figure in FIGURES:
            g = growth(samples, kind, figure, share)
            if g is None:
                lines.append("  %-14s not read" % figure)
            else:
                slope = "%.4f" % g["slope"] if g["slope"] is not None else "-"
                lines.append("  %-14s %s -> %s after warm-up (%+d over %d cycles), slope %s a cycle" % (
                    figure, g["first"], g["last"], g["difference"], g["cycles"], slope))
    return "\n".join(lines)


def open_desktop(build_dir, wine_dir, artifacts, exe=None, prefix_name="prefix-soak", say=print):
    """A started desktop whose every process runs in a network of its own, which the soak
    switches off for the "not connected." cycles."""
    network = SwitchableNetwork().start()
    desktop = Desktop(build_dir, wine_dir, artifacts, exe=exe, prefix_name=prefix_name, say=say)
    desktop.session.network = network
    try:
        desktop.start()
    except BaseException:
        desktop.stop()
        network.stop()
        raise
    return desktop, network


def start_traced(desktop, page="good.html", keep_alive=True):
    """cantivo.exe, traced, from a new folder of its own, with a station in the session's
    network serving page. keep_alive=False: the station closes every connection after its
    answer. Otherwise Wine's WinInet keeps each for a minute (a socket and its handle), so
    those figures climb for the first minute of Gets and then follow the pace of the Gets."""
    with desktop.session.network.inside():
        station = Station(desktop.wire.on_air_path, page_file=os.path.join(PAGES, page), pages_dir=PAGES)
    station.keep_alive = keep_alive
    return TracedProgram(desktop, desktop.new_program_folder(), station.start()).start()


def run_soak(program, counts, samples_path, every, deadline=None, say=print):
    """The cycles of each kind in counts ({kind: count}, in that order); returns the Soak
    (its samples) and the resident memory (kB) after the start, after one Get and at the end."""
    memory = {"after start": processes.resident_kb(program.unix_pid())}
    close_cycle(program, 1)
    memory["after one Get"] = processes.resident_kb(program.unix_pid())
    soak = Soak(program, samples_path, every, say=say)
    soak.ran = {}
    for kind, count in counts.items():
        if count and (deadline is None or time.time() < deadline):
            soak.ran[kind] = soak.run(kind, count, deadline)
    memory["after the soak"] = processes.resident_kb(program.unix_pid())
    return soak, memory


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    options.add_arguments(parser, options.EXE)
    parser.add_argument("--closes", type=int, default=5000)
    parser.add_argument("--saves", type=int, default=1000)
    parser.add_argument("--errors", type=int, default=300)
    parser.add_argument("--offline", type=int, default=300, help='"not connected." boxes, the network off')
    parser.add_argument("--order", default="close,save,error,offline", help="the kinds of cycles in the order they run")
    parser.add_argument("--close-connections", action="store_true",
                        help="the station closes every connection after its answer (no reuse pool)")
    parser.add_argument("--every", type=int, default=100, help="cycles between two samples")
    parser.add_argument("--samples", default=os.path.join(ROOT, "build", "soak", "samples.jsonl"))
    parser.add_argument("--time-limit", type=float, default=4 * 3600,
                        help="seconds; the run stops after the cycle that passes it and reports what ran")
    args = parser.parse_args()
    deadline = time.time() + args.time_limit
    os.makedirs(os.path.dirname(os.path.abspath(args.samples)), exist_ok=True)
    open(args.samples, "w").close()
    say = lambda line: print(line, flush=True)  # noqa: E731
    say("soak: starting Wine and cantivo.exe; samples go to %s" % args.samples)
    desktop, network = open_desktop(args.build_dir, args.wine_dir, os.path.join(ROOT, "build", "soak", "artifacts"),
                                    args.exe, say=say)
    try:
        program = start_traced(desktop, keep_alive=not args.close_connections)
        wanted = {"close": args.closes, "save": args.saves, "error": args.errors, "offline": args.offline}
        counts = {kind: wanted[kind] for kind in args.order.split(",")}
        soak, memory = run_soak(program, counts, args.samples, args.every, deadline, say)
        saved = (program.log_bytes() or b"").count(b"\r\n")
        program.stop()
    finally:
        desktop.stop()
        network.stop()
    say("cycles run: %s; the log holds %d lines; the menu opened again %d times; %d hiccups%s" % (
        soak.ran, saved, soak.menu_retries, len(soak.hiccups), "".join("\n  " + h for h in soak.hiccups)))
    say("resident memory (VmRSS, kB): %s" % memory)
    say(summary(soak.samples))
    return 0


if __name__ == "__main__":
    sys.exit(main())
