"""Get and Save under Wine, as a user drives them: the balloon, the song log's bytes, and the
boxes the program shows when something goes wrong."""

import os
import re
import time

import pytest

from desktop import unix_path, windows_path
from make_pages import GOOD
from tray import EXIT, GET, SAVE

# good.html's on-air time, main text and sub text, as tests/pages/make_pages.py writes them.
GOOD_TIME = GOOD["time"]
GOOD_MAIN = GOOD["main"].encode("cp932")
GOOD_SUB = GOOD["sub"].encode("cp932")
OTHER_SONG = '"01/02 03:04","海の見える町","カロ弦楽四重奏"\r\n'.encode("cp932")

# Wine's error icon is a red disc: a good part of the icon's square is strongly red.
ERROR_ICON_RED_SHARE = 0.2


def log_line(date, on_air=GOOD_TIME, main=GOOD_MAIN, sub=GOOD_SUB):
    return b'"%s %s","%s","%s"\r\n' % (date.encode(), on_air.encode(), main, sub)


def possible_dates(before, after):
    """Today's month and day in the ja_JP locale's form, on either side of midnight."""
    return {time.strftime("%m/%d", time.localtime(t)) for t in (before, after)}


@pytest.mark.also_in_configs("western")
@pytest.mark.parametrize("log", [None, OTHER_SONG], ids=["no log yet", "a log with another song"])
@pytest.mark.parametrize("choose", ["by key", "by clicking its row"])
def test_save_writes_the_song_once_beside_the_exe(start, desktop, log, choose):
    program = start("good.html", log=log)
    before = time.time()

    program.double_click_icon()
    program.wait_shown()
    menu = program.open_menu()
    assert menu.captions() == [SAVE, "-", EXIT]
    if choose == "by key":
        menu.choose("s")
    else:
        menu.click_row(0, [SAVE, "-", EXIT])
    program.wait_hidden()
    after = time.time()

    written = program.log_bytes()
    assert written in {(log or b"") + log_line(date) for date in possible_dates(before, after)}
    assert not os.path.exists(os.path.join(program.cwd, desktop.wire.log_file_name))
    menu = program.open_menu()
    assert menu.captions() == [GET, "-", EXIT]
    menu.escape()

    # The same song again: Save hides the balloon but writes nothing.
    program.double_click_icon()
    program.wait_shown()
    program.save()
    program.wait_hidden()
    assert program.log_bytes() == written
    assert len(program.on_air_requests()) == 2


@pytest.mark.also_in_configs("western")
def test_a_time_that_does_not_read_shows_an_error_and_the_program_goes_on(start, desktop):
    program = start("bad-time.html")

    program.double_click_icon()

    box = program.wait_box("Cantivo")
    assert box["text"] == "'25:61' is not a valid time."
    assert box["icon"]
    assert desktop.screen.red_share(box["icon_rect"]) > ERROR_ICON_RED_SHARE
    assert not program.main_window()["visible"]
    program.press(box)
    assert program.running()
    # The menu still works: a Get of a page that reads shows the balloon.
    program.serve("good.html")
    menu = program.open_menu()
    assert menu.captions() == [GET, "-", EXIT]
    menu.choose("g")
    program.wait_shown()


def test_a_page_without_the_song_changes_nothing(start):
    program = start("no-marker.html")

    program.double_click_icon()

    # The menu opens only after the Get has been handled.
    menu = program.open_menu()
    assert len(program.on_air_requests()) == 1
    assert menu.captions() == [GET, "-", EXIT]
    menu.escape()
    assert program.boxes() == []
    assert not program.main_window()["visible"]
    assert program.log_bytes() is None


class ReadOnly:
    def __init__(self, program):
        self.path = program.log_path

    def __enter__(self):
        os.chmod(self.path, 0o444)

    def __exit__(self, *exc):
        os.chmod(self.path, 0o644)


class HeldOpen:
    """Another Windows process (the probe) holds the log open without sharing."""

    def __init__(self, program):
        self.probe = program.desktop.probe
        self.path = program.log_path

    def __enter__(self):
        self.probe.ask("hold " + windows_path(self.path))

    def __exit__(self, *exc):
        self.probe.ask("release")


CANNOT_WRITE = re.compile(r"^ファイル (.+) (を作成できません|は開けません)\.$")


@pytest.mark.also_in_configs("western")
@pytest.mark.parametrize("blocked", [ReadOnly, HeldOpen], ids=["read-only", "held open by another process"])
def test_a_save_that_cannot_write_says_so_and_keeps_the_balloon(start, desktop, blocked):
    program = start("good.html", log=OTHER_SONG)
    program.double_click_icon()
    program.wait_shown()

    with blocked(program):
        program.save()
        box = program.wait_box("Cantivo")
        desktop.screen.screenshot("error box")
        match = CANNOT_WRITE.match(box["text"])
        assert match, box["text"]
        assert unix_path(match.group(1)).lower() == program.log_path.lower()
        assert box["icon"]
        assert desktop.screen.red_share(box["icon_rect"]) > ERROR_ICON_RED_SHARE
        program.press(box)

        assert program.shown()
        menu = program.open_menu()
        assert menu.captions() == [SAVE, "-", EXIT]
        menu.escape()
    assert program.log_bytes() == OTHER_SONG
    assert program.running()


def test_offline_get_says_not_connected(start_offline, offline_desktop):
    program = start_offline()

    program.double_click_icon()

    box = program.wait_box("not connected.")
    assert box["text"] == "Cantivo"
    assert not box["icon"]
    offline_desktop.screen.screenshot("not connected")
    program.press(box)
    assert program.running()
    assert not program.main_window()["visible"]
    menu = program.open_menu()
    assert menu.captions() == [GET, "-", EXIT]
    menu.escape()
