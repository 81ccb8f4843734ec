"""A storm of clicks that land while the program is in the middle of something: Gets during the
balloon's fade-in, a right click on it while it fades in, Save during a fade, Get while the
error box is open, and at last Exit during a fade-out. The program neither crashes nor leaves
a stray window or icon, and the log holds each saved song once."""

import time

from desktop import WM_LBUTTONDBLCLK, WM_RBUTTONDOWN
from session import wait_for
from make_pages import main_line, page, sub_line, time_line

MK_RBUTTON = 0x0002
ROUNDS = 50


def song(round_):
    return "嵐の歌%02d" % round_, "合唱団%02d" % round_


def write_page(tmp_path, round_):
    main, sub = song(round_)
    path = tmp_path / ("song-%02d.html" % round_)
    path.write_bytes(page(time_line("12:%02d" % round_), main_line(main), sub_line(sub)))
    return str(path)


def right_press_on_balloon(program):
    program.post(WM_RBUTTONDOWN, MK_RBUTTON, (30 << 16) | 12)


def settle(program):
    """Lets whatever is queued run: the program answers the probe once it is done."""
    time.sleep(0.3)
    wait_for(lambda: program.main_window()["exists"], what="the program to answer")


def assert_tidy(program, desktop, round_):
    assert program.running(), "round %d: the program ended" % round_
    assert len(desktop.tray.icons()) == 1, "round %d: %d tray icons" % (round_, len(desktop.tray.icons()))
    assert not program.menus() and not program.boxes(), "round %d: a menu or box was left open" % round_
    visible = [w for w in program.windows() if w["visible"]]
    assert all(w["class"] == "TfrmCantivo" for w in visible), "round %d: stray windows %s" % (round_, visible)


def test_a_storm_of_clicks_mid_fade_and_mid_box(start, desktop, tmp_path):
    program = start()
    for round_ in range(ROUNDS):
        program.serve(write_page(tmp_path, round_))
        # Gets during the fade-in: queued behind the first Get, the second Get and the right
        # press on the balloon run from inside its fade-in, which lets pending events run; a
        # real double-click follows them.
        program.post_tray(WM_LBUTTONDBLCLK)
        program.post_tray(WM_LBUTTONDBLCLK)
        right_press_on_balloon(program)
        program.double_click_icon()
        settle(program)

        # Save during a fade: a second Save queued behind the first runs in its fade-out.
        program.post_tray(WM_LBUTTONDBLCLK)
        program.wait_shown()
        program.post_command("save")
        program.post_command("save")
        program.wait_hidden()

        # Get while the error box is open, then the box answered.
        program.serve("bad-time.html")
        program.post_tray(WM_LBUTTONDBLCLK)
        program.wait_box("Cantivo")
        program.serve(write_page(tmp_path, round_))
        program.post_tray(WM_LBUTTONDBLCLK)
        settle(program)
        while program.boxes():
            program.press(program.boxes()[0])
        settle(program)
        assert_tidy(program, desktop, round_)

    # Exit during a fade-out.
    program.post_tray(WM_LBUTTONDBLCLK)
    program.wait_shown()
    right_press_on_balloon(program)
    program.post_command("exit")
    assert program.wait_exit() == 0
    wait_for(lambda: not desktop.tray.icons(), what="the icon to go with the program")

    log = program.log_bytes()
    lines = log.split(b"\r\n")
    assert lines[-1] == b"" and len(lines) - 1 == ROUNDS, log.decode("cp932")
    for round_ in range(ROUNDS):
        main, sub = (text.encode("cp932") for text in song(round_))
        assert sum(1 for line in lines if main in line and sub in line) == 1, round_
