"""The tray side of Cantivo under Wine: how it starts, what the icon answers to, the menu's
place, Exit, a second start, and a restarted shell."""

import os
import signal
import time

import pytest

from desktop import (LWA_ALPHA, LWA_COLORKEY, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MBUTTONDOWN,
                     WM_MOUSEMOVE, WM_RBUTTONDOWN, WM_RBUTTONUP, WS_EX_LAYERED)
from session import wait_for
from tray import EXIT, GET, SAVE

WS_POPUP = 0x80000000
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_THICKFRAME = 0x00040000
WHITE = 0xFFFFFF
NIM_ADD = 0
NIM_MODIFY = 1


def test_at_start_only_the_icon_shows(start, desktop):
    program = start()

    icons = desktop.tray.icons()
    assert len(icons) == 1
    # The icon is added first, before the creation handler makes the window layered: read the
    # window once that handler is through.
    main = wait_for(lambda: (lambda m: m["exists"] and m["exstyle"] & WS_EX_LAYERED and m)(program.main_window()),
                    what="the main window's creation to finish")
    assert main["exists"] and main["title"] == "Cantivo"
    assert not main["visible"]
    # A borderless popup, layered with white as its colour key and an alpha of its own.
    assert main["style"] & WS_POPUP
    assert not main["style"] & (WS_CAPTION | WS_BORDER | WS_THICKFRAME)
    assert main["exstyle"] & WS_EX_LAYERED
    assert main["layered"]["ok"]
    assert main["layered"]["key"] == WHITE
    assert main["layered"]["flags"] == LWA_COLORKEY | LWA_ALPHA
    owner = main["owner"]
    assert owner and owner["class"] == desktop.wire.application_window_class and owner["title"] == "Cantivo"
    assert not owner["visible"]
    # Nothing of the program's is visible, to Win32 or to X: no window, no taskbar button.
    windows = program.windows()
    assert {w["class"] for w in windows} >= {desktop.wire.main_window_class, desktop.wire.application_window_class}
    assert [w["class"] for w in windows if w["visible"]] == []
    assert [hex(w["xid"]) for w in windows if desktop.screen.x_viewable(w["xid"])] == []
    assert program.on_air_requests() == []
    desktop.screen.screenshot("started")


# The tray's callback with mouse messages that must do nothing: presses and releases that are
# not a left double-click or a right press.
IGNORED_CALLBACKS = {
    "left press": WM_LBUTTONDOWN,
    "left release": WM_LBUTTONUP,
    "right release": WM_RBUTTONUP,
    "middle press": WM_MBUTTONDOWN,
    "pointer move": WM_MOUSEMOVE,
}


@pytest.mark.parametrize("how", ["single left click", "single middle click"] + list(IGNORED_CALLBACKS))
def test_icon_ignores_what_is_not_a_double_click_or_right_press(start, desktop, how):
    program = start()

    # Each is followed by a double-click the same way, which runs Get: by the time the balloon
    # shows, the program has handled what came before, and any effect of it is there to see.
    if how == "single left click":
        program.click_icon(1)
        program.double_click_icon()
    elif how == "single middle click":
        program.click_icon(2)
        program.double_click_icon()
    else:
        program.post_tray(IGNORED_CALLBACKS[how])
        program.post_tray(WM_LBUTTONDBLCLK)

    program.wait_shown()
    assert program.menus() == []
    assert program.boxes() == []
    assert len(program.on_air_requests()) == 1


@pytest.mark.also_in_configs("dpi-")
def test_double_click_shows_the_balloon_and_the_menu_then_offers_save(start, desktop):
    program = start()
    menu = program.open_menu()
    assert menu.captions() == [GET, "-", EXIT]
    menu.escape()

    program.double_click_icon()

    shown = program.wait_shown()
    assert shown["layered"]["alpha"] == desktop.wire.balloon_alpha
    assert shown["layered"]["key"] == WHITE
    assert desktop.screen.x_viewable(shown["xid"])
    assert desktop.screen.x_opacity(shown["xid"]) == desktop.wire.balloon_x_opacity
    left, top, right, bottom = shown["rect"]
    assert 0 <= left < right <= 1024 and 0 <= top < bottom <= 768
    assert len(program.on_air_requests()) == 1
    desktop.screen.park_pointer()
    desktop.screen.screenshot("balloon")
    menu = program.open_menu()
    assert menu.captions() == [SAVE, "-", EXIT]
    menu.escape()
    assert program.shown()


@pytest.mark.parametrize("choose", ["by key", "by clicking its row"])
def test_get_from_the_menu_shows_the_balloon(start, choose):
    program = start()

    menu = program.open_menu()
    if choose == "by key":
        menu.choose("g")
    else:
        menu.click_row(0, [GET, "-", EXIT])

    program.wait_shown()
    assert len(program.on_air_requests()) == 1


def _screen_size(desktop):
    screen = desktop.screen.x.screen()
    return screen.width_in_pixels, screen.height_in_pixels


@pytest.mark.parametrize("where", ["at the icon", "near the screen's bottom-right corner"])
def test_right_press_opens_the_menu_at_the_pointer(start, desktop, where):
    program = start()
    width, height = _screen_size(desktop)

    if where == "at the icon":
        x, y = program.right_click_icon()
    else:
        # The press as the tray reports it, with the pointer where the menu cannot fit.
        x, y = width - 3, height - 3
        desktop.screen.move_pointer(x, y)
        program.post_tray(WM_RBUTTONDOWN)
    menu = program.wait_menu()

    left, top, right, bottom = menu.rect
    assert 0 <= left and right <= width and 0 <= top and bottom <= height
    if x + (right - left) <= width:
        assert left == x
    else:
        assert left <= x <= right
    if y + (bottom - top) <= height:
        assert top == y
    else:
        assert top <= y <= bottom
    menu.escape()


@pytest.mark.parametrize("balloon", ["hidden", "shown"])
def test_exit_removes_the_icon_and_ends_the_program(start, desktop, balloon):
    program = start()
    if balloon == "shown":
        program.double_click_icon()
        program.wait_shown()

    program.exit()

    assert program.wait_exit() == 0
    assert desktop.tray.icons() == []


@pytest.mark.parametrize("which", ["the same exe", "a copy in another folder"])
def test_a_second_start_ends_at_once_without_an_icon(start, desktop, which):
    program = start()
    exe = program.exe
    if which == "a copy in another folder":
        exe = os.path.join(desktop.new_program_folder(), "cantivo.exe")

    second = program.start_another(exe)

    assert second.wait(timeout=30) == 0
    assert len(desktop.tray.icons()) == 1
    assert [b for b in desktop.probe.ask("boxes")["boxes"]] == []
    # The first one runs on as before.
    assert program.running()
    program.double_click_icon()
    program.wait_shown()


@pytest.fixture
def new_wine_session_after(desktop):
    """For a test that kills Wine's explorer: the session's desktop is started anew afterwards."""
    yield
    desktop.session.restart_wine()


def kill_explorer(desktop):
    """Wine 8 keeps a killed explorer's desktop window, so no new explorer can take the desktop
    while a program runs on it; the probe's stand-in shell takes the part of the shell then,
    as the owner of "Shell_TrayWnd" that broadcasts "TaskbarCreated"."""
    for pid in desktop.session.explorer_pids():
        os.kill(pid, signal.SIGKILL)
    wait_for(lambda: not desktop.session.explorer_pids(), what="explorer to end")
    wait_for(lambda: not desktop.tray.window()["exists"], what="the tray to go")


def test_icon_is_added_again_when_the_shell_restarts(start, desktop, new_wine_session_after):
    program = start()
    main = program.main_window()

    kill_explorer(desktop)
    assert program.running()
    desktop.probe.ask("shell start")

    requests = wait_for(lambda: desktop.probe.ask("shell requests")["requests"], what="the icon to be added")
    assert len(requests) == 1
    added = requests[0]
    assert added["message"] == NIM_ADD
    assert added["hwnd"] == main["hwnd"]
    assert added["id"] == 1
    assert added["callback"] == desktop.wire.tray_message
    assert added["tip"] == "Cantivo"
    assert program.running()


ADDS_REFUSED = 2
RETRY_EVERY_S = 4  # the program tries again this often


def test_an_icon_a_busy_shell_refuses_is_added_once_the_shell_takes_it(start, desktop, new_wine_session_after):
    # As at a slow logon: the notification area is there, but too busy to take the first adds.
    kill_explorer(desktop)
    assert desktop.probe.ask("busyshell %d" % ADDS_REFUSED)["ok"]
    program = start(wait_icon=False)

    def requests():
        main = program.main_window()
        return [(r["message"], r["accepted"]) for r in desktop.probe.ask("shell requests")["requests"]
                if main["exists"] and r["hwnd"] == main["hwnd"]]
    wait_for(lambda: (NIM_ADD, True) in requests(), timeout=RETRY_EVERY_S * (ADDS_REFUSED + 3), what="the icon added")
    # Nothing more once it is there: no second add, no more tries.
    time.sleep(RETRY_EVERY_S * 1.5)
    refused_try = [(NIM_MODIFY, False), (NIM_ADD, False)]
    assert requests() == [(NIM_ADD, False)] + refused_try * (ADDS_REFUSED - 1) + [(NIM_MODIFY, False), (NIM_ADD, True)]
    assert program.running()
