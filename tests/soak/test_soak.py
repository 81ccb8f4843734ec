"""The short soak: one cantivo.exe driven through a few hundred cycles of Get and close, Get
and Save of new songs, error boxes and "not connected." boxes (soak.py), and nothing it holds
grows from cycle to cycle once it has warmed up.

The station closes each connection after its answer here, so that WinInet keeps none for
reuse: every figure then settles exactly, and a handle or socket left behind by a Get shows
as growth.
"""

import os

import pytest

import soak

# How much a figure may move between the first sample after the warm-up and the last one, and
# along its fitted line, before it counts as growth. Counts of objects are exact; memory moves
# by pages as the heaps settle. A leak of one object or a few hundred bytes a cycle shows well
# beyond these over the cycles after the warm-up.
TOLERANCE = {
    "gdi_traced": 2, "gdi": 2, "user": 2, "all_windows": 1, "threads": 1,
    "handles": 4, "listed_handles": 0, "fds": 2,
    "rss_kb": 1024, "working_set": 1 << 20, "private_bytes": 1 << 20,
}
# Read on every system, Wine included; the others only where the system reports them.
ALWAYS_READ = ("gdi_traced", "all_windows", "rss_kb", "fds")
# Half of each kind's cycles warm up: the short soak's kinds are short.
WARM_UP_SHARE = 0.5


@pytest.fixture(scope="module")
def soaked(pytestconfig):
    """The soak run once: the Soak (samples, hiccups), the log's bytes and whether the
    program still ran with one icon at the end."""
    option = pytestconfig.getoption
    artifacts = option("--artifacts")
    os.makedirs(artifacts, exist_ok=True)
    samples = os.path.join(artifacts, "samples.jsonl")
    open(samples, "w").close()
    desktop, network = soak.open_desktop(option("--build-dir"), option("--wine-dir"), artifacts, option("--exe"),
                                         prefix_name="prefix-soak-short")
    try:
        program = soak.start_traced(desktop, keep_alive=False)
        counts = {"close": option("--closes"), "save": option("--saves"), "error": option("--errors"),
                  "offline": option("--offline")}
        run, memory = soak.run_soak(program, counts, samples, option("--every"))
        print("\nresident memory (VmRSS, kB): %s; the menu opened again %d times\n%s" % (
            memory, run.menu_retries, soak.summary(run.samples, WARM_UP_SHARE)))
        result = {"run": run, "counts": counts, "log": program.log_bytes(), "running": program.running(),
                  "icons": len(desktop.tray.icons())}
        program.stop()
        yield result
    finally:
        desktop.stop()
        network.stop()


def test_every_cycle_goes_as_driven_and_the_program_runs_on(soaked):
    assert soaked["run"].hiccups == []
    assert soaked["running"] and soaked["icons"] == 1


def test_the_log_holds_each_saved_song_once(soaked):
    lines = soaked["log"].split(b"\r\n")
    saves = soaked["counts"]["save"]
    assert lines[-1] == b"" and len(lines) - 1 == saves
    for number in range(1, saves + 1):
        main = ("耐久の歌%05d" % number).encode("cp932")
        assert sum(1 for line in lines if main in line) == 1, number


@pytest.mark.parametrize("kind", soak.KINDS)
def test_nothing_the_program_holds_grows_from_cycle_to_cycle(soaked, kind):
    samples = soaked["run"].samples
    grown = {}
    for figure, tolerance in TOLERANCE.items():
        g = soak.growth(samples, kind, figure, WARM_UP_SHARE)
        if g is None:
            assert figure not in ALWAYS_READ, "%s was not read" % figure
            continue
        along_line = (g["slope"] or 0) * g["cycles"]
        if g["difference"] > tolerance or along_line > tolerance:
            grown[figure] = "%s -> %s, %+.1f along the fitted line over %d cycles" % (
                g["first"], g["last"], along_line, g["cycles"])
    assert not grown, grown
