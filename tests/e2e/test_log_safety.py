"""The log survives the program being killed in the middle of a save: whatever the moment,
the log afterwards holds either all of its old content or all of its new content. A Save that
cannot be made as it should (another updater keeps the log's lock, the folder takes no new
files) says so in the error box, keeps the balloon for another try, and leaves the log as the
others leave it.

How long the program waited before the box is written to figures.json beside the case's
screenshots: a figure, not an assertion."""

import contextlib
import glob
import json
import os
import re
import signal
import subprocess
import time

import pytest

from desktop import unix_path, windows_path
from make_pages import GOOD
from session import wait_for

LINES = 200_000     # about 9 MB: a save takes long enough to be caught in the middle
ROUNDS = 12
# The kills are spread from the save's start to twice its measured length: a save under load
# can take longer than the one measured, and some kills must still land after its end.
SPREAD = 2.0
SONG = GOOD["main"].encode("cp932")


def big_log():
    return b"".join(b'"12/%02d %02d:%02d","Title %06d","Artist %06d"\r\n' % (1 + i % 28, i % 24, i % 60, i, i)
                    for i in range(LINES))


def save_after_get(program):
    program.double_click_icon()
    program.wait_shown()
    program.post_command("save")


def log_now(program):
    """The log's bytes: it is at its name at every moment, before, during and after a save."""
    log = program.log_bytes()
    assert log is not None, "no log at " + program.log_path
    return log


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
    wait_for(lambda: log_now(program) != old, interval=0.005, what="the save to finish")
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
        log = log_now(program)
        assert log == old or (log.startswith(old) and log[len(old):].count(b"\r\n") == 1
                              and log.endswith(b"\r\n") and SONG in log[len(old):]), \
            "round %d: a log of %d bytes, neither the old %d nor a new one" % (round_, len(log), len(old))
        leftovers = [os.path.basename(p) for p in glob.glob(program.log_path + ".*")]
        outcomes.append({"kill_after_s": round(whole_save_s * SPREAD * round_ / (ROUNDS - 1), 3),
                         "log": "old" if log == old else "new", "leftovers": leftovers})
        # The program, started again, saves into that log as ever.
        program.start()
        save_after_get(program)
        wait_for(lambda: log_now(program).count(SONG) == 1 and log_now(program) != old,
                 what="the next save")
        program.stop()
    with open(desktop.screen.artifact_path("outcomes.json"), "w") as f:
        json.dump({"whole_save_s": round(whole_save_s, 3), "rounds": outcomes}, f, indent=1)
    # The kills fell both before and after the save's end.
    assert {o["log"] for o in outcomes} == {"old", "new"}, outcomes


OTHER_SONG = '"01/02 03:04","海の見える町","カロ弦楽四重奏"\r\n'.encode("cp932")
OTHERS_LINE = '"12/24 09:00","雪の朝","カロ合唱団"\r\n'.encode("cp932")


def failed_save(program, expected_ending):
    """A Save that fails: the error box's text names the log, and how long the program took
    to show it."""
    began = time.monotonic()
    program.post_command("save")
    box = program.wait_box("Cantivo")
    waited_s = time.monotonic() - began
    program.desktop.screen.screenshot("error box")
    match = re.match(r"^ファイル (.+) %s\.$" % expected_ending, box["text"])
    assert match, box["text"]
    assert unix_path(match.group(1)).lower() == program.log_path.lower()
    with open(program.desktop.screen.artifact_path("figures.json"), "w") as f:
        json.dump({"save_to_error_box_s": round(waited_s, 2)}, f)
    print("save to error box: %.2f s" % waited_s)
    return box


def test_a_save_while_another_updater_keeps_the_lock_says_so_and_loses_no_line(start, desktop):
    program = start("good.html", log=OTHER_SONG)
    program.double_click_icon()
    program.wait_shown()

    # Another updater of the same log (another user's copy on a shared folder) holds its lock
    # for longer than a Save waits, and makes its own change meanwhile.
    assert desktop.probe.ask("lock " + windows_path(program.log_path))["ok"]
    try:
        box = failed_save(program, "は開けません")
        with open(program.log_path, "wb") as f:
            f.write(OTHER_SONG + OTHERS_LINE)
    finally:
        desktop.probe.ask("release")
    program.press(box)
    assert program.shown() and program.log_bytes() == OTHER_SONG + OTHERS_LINE

    # The balloon stayed: Save again, and both lines are there.
    program.post_command("save")
    program.wait_hidden()
    log = program.log_bytes()
    assert log.startswith(OTHER_SONG + OTHERS_LINE) and SONG in log[len(OTHER_SONG + OTHERS_LINE):]
    assert sorted(os.listdir(program.folder)) == ["cantivo.exe", os.path.basename(program.log_path)]


@contextlib.contextmanager
def taking_no_new_files(folder):
    """The folder refuses new files, even to root, which Wine reports as "access denied"; the
    files in it can still be written."""
    made = subprocess.run(["chattr", "+i", folder], capture_output=True, text=True)
    if made.returncode != 0:
        pytest.skip("this file system has no immutable folders (chattr: %s)" % made.stderr.strip())
    try:
        yield
    finally:
        subprocess.run(["chattr", "-i", folder], check=True)


def test_a_save_in_a_folder_that_takes_no_files_says_so_at_once(start, desktop):
    program = start("good.html", log=OTHER_SONG)
    program.double_click_icon()
    program.wait_shown()

    with taking_no_new_files(program.folder):
        box = failed_save(program, "を作成できません")
        program.press(box)
        assert program.shown()
    assert program.log_bytes() == OTHER_SONG
    assert sorted(os.listdir(program.folder)) == ["cantivo.exe", os.path.basename(program.log_path)]
