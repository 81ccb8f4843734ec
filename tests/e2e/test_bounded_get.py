"""A Get is bounded. Whoever shapes the answer (the station, or anyone on the network's way)
can neither fill the program's memory with an endless page nor hold its only thread for ever
with a slow drip: a page over the size cap, or a Get longer than its time limit, ends in
nothing shown, its memory given back, and the program answering the next Get.

How long each case held the program and its peak resident memory are written to
held.json beside the case's screenshots: figures, not assertions."""

import json
import threading
import time

import pytest

import processes
from desktop import page_bytes
from session import wait_for
from tray import EXIT, GET

MAX_PAGE_BYTES = 4 * 1024 * 1024   # the program's cap on a page
TIME_LIMIT_S = 60                  # the program's limit on one Get
DRIP_S = 25                        # one byte every so many seconds
# What a Get may leave behind in resident memory once it is over (heap pages kept, WinInet's
# buffers): well under the cap, so a page kept by mistake would show.
MEMORY_KEPT = 3 * 1024 * 1024


GOOD = page_bytes("good.html")


def padded(size):
    """The good page, followed by spaces to size bytes: a real song, in a page too big or not."""
    return GOOD + b" " * (size - len(GOOD))


SHOWN, NOTHING = "shown", "nothing"
# id, what the station does (("page", BYTES) or a misbehaviour), and the outcome.
CASES = [
    ("endless-body", ("endless",), NOTHING),
    ("at-the-cap", ("page", padded(MAX_PAGE_BYTES)), SHOWN),
    ("over-the-cap", ("page", padded(MAX_PAGE_BYTES + 1)), NOTHING),
    ("drip", ("drip", DRIP_S, False), NOTHING),
    ("drip-after-headers", ("drip", DRIP_S, True), NOTHING),
]


class MemoryWatch:
    """Samples a process's resident memory until stopped; keeps the peak."""

    def __init__(self, pid, interval=0.1):
        self.pid, self.interval = pid, interval
        self.peak = processes.resident_bytes(pid) or 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        while not self._stop.wait(self.interval):
            self.peak = max(self.peak, processes.resident_bytes(self.pid) or 0)

    def stop(self):
        self._stop.set()
        self._thread.join(5)
        return self.peak


@pytest.mark.parametrize("name, setup, outcome", CASES, ids=[c[0] for c in CASES])
def test_a_get_is_bounded_in_memory_and_time(start, desktop, tmp_path, name, setup, outcome):
    program = start("good.html")
    pid = wait_for(lambda: processes.running_exe(desktop.session.prefix, program.exe), what="the program's process")
    # A first Get of the good page loads all that any Get needs; the memory after it is the level.
    program.double_click_icon()
    program.close_balloon()
    level = processes.resident_bytes(pid)

    program.serve_as(setup, str(tmp_path), name)
    watch = MemoryWatch(pid)
    began = time.monotonic()
    program.double_click_icon()
    try:
        if outcome == SHOWN:
            program.wait_shown(timeout=TIME_LIMIT_S + 30)
            held = time.monotonic() - began
            program.close_balloon()
        else:
            # The program answers the tray again once the Get is over.
            menu = program.wait_idle(timeout=TIME_LIMIT_S + 30)
            held = time.monotonic() - began
            captions = menu.captions()
            menu.escape()
            assert captions == [GET, "-", EXIT] and not program.main_window()["visible"]
            assert not program.boxes()
    finally:
        peak = watch.stop()
        figures = {"held_s": round(time.monotonic() - began, 1), "level_mb": round(level / 2**20, 1),
                   "peak_mb": round(peak / 2**20, 1)}
        with open(desktop.screen.artifact_path("held.json"), "w") as f:
            json.dump(figures, f)
    print("%s: held %.1f s, resident %.1f MB before, %.1f MB at its peak" % (name, held, level / 2**20, peak / 2**20))

    # An endless body is hung up on at the cap, not read to its end. A drip's download is given
    # up on by the program; its thread ends at the first byte after the deadline (a body's
    # drip), at WinInet's receive time-out, or once the sender stops, which is what happens here.
    if setup[0] == "endless":
        wait_for(lambda: program.station.answers_ended, timeout=10, what="the sender to see the program hang up")
    if setup[0] == "drip":
        program.station.end_answers()
    # The memory comes back.
    after = wait_for(lambda: (lambda now: now if now <= level + MEMORY_KEPT else None)(processes.resident_bytes(pid)),
                     timeout=10, what="the memory to come back near %.1f MB" % (level / 2**20))
    assert after <= level + MEMORY_KEPT

    # The next Get of a good page shows it; nothing was logged.
    program.station.misbehave(None)
    program.serve("good.html")
    program.get_until_shown()
    assert program.log_bytes() is None
