"""The log survives the program being killed in the middle of a save: whatever the moment,
the log afterwards holds either all of its old content or all of its new content."""

import glob
import json
import os
import signal
import time

from desktop import LOG_NAME
from session import wait_for

LINES = 200_000     # about 9 MB: a save takes long enough to be caught in the middle
ROUNDS = 12
# The kills are spread from the save's start to twice its measured length: a save under load
# can take longer than the one measured, and some kills must still land after its end.
SPREAD = 2.0
SONG = "夜明けのメロディ".encode("cp932")


def big_log():
    return b"".join(b'"12/%02d %02d:%02d","Title %06d","Artist %06d"\r\n' % (1 + i % 28, i % 24, i % 60, i, i)
                    for i in range(LINES))


def save_after_get(program):
    program.double_click_icon()
    program.wait_shown()
    program.post_command("save")


def kill(program):
    os.kill(program.process.pid, signal.SIGKILL)
    program.process.wait()
    wait_for(lambda: not program.desktop.tray.icons(), what="the killed program's icon to go")


def test_a_save_killed_at_any_moment_leaves_the_old_log_or_the_new_one(start, desktop):
    old = big_log()

    # How long a whole save takes here, to spread the kills over it.
    program = start(log=old)
    save_after_get(program)
    began = time.monotonic()
    wait_for(lambda: program.log_bytes() != old, interval=0.005, what="the save to finish")
    whole_save_s = time.monotonic() - began
    new = program.log_bytes()
    assert new.startswith(old) and new.count(b"\r\n") == LINES + 1 and SONG in new[len(old):]
    program.stop()

    outcomes = []
    for round_ in range(ROUNDS):
        program = start(log=old)
        save_after_get(program)
        time.sleep(whole_save_s * SPREAD * round_ / (ROUNDS - 1))
        kill(program)
        log = program.log_bytes()
        assert log == old or (log.startswith(old) and log[len(old):].count(b"\r\n") == 1
                              and log.endswith(b"\r\n") and SONG in log[len(old):]), \
            "round %d: a log of %d bytes, neither the old %d nor a new one" % (round_, len(log), len(old))
        leftovers = [os.path.basename(p) for p in glob.glob(os.path.join(program.folder, LOG_NAME + ".*"))]
        outcomes.append({"kill_after_s": round(whole_save_s * SPREAD * round_ / (ROUNDS - 1), 3),
                         "log": "old" if log == old else "new", "leftovers": leftovers})
        # The program, started again, saves into that log as ever.
        program.start()
        save_after_get(program)
        wait_for(lambda: program.log_bytes().count(SONG) == 1 and program.log_bytes() != old,
                 what="the next save")
        program.stop()
    with open(desktop.screen.artifact_path("outcomes.json"), "w") as f:
        json.dump({"whole_save_s": round(whole_save_s, 3), "rounds": outcomes}, f, indent=1)
    # The kills fell both before and after the save's end.
    assert {o["log"] for o in outcomes} == {"old", "new"}, outcomes
