"""What changes with the user's configuration (tests/harness/configs.py, chosen with --config):
the locale's morning and afternoon words, the screen's resolution, the work area and the
monitors. Tests marked `only_in_configs` run only in the configurations they name; those marked
`also_in_configs` run in the default configuration too (tests/e2e/pytest.ini)."""

import os

import pytest
from PIL import Image

from desktop import windows_path
from make_pages import page, time_line, main_line, sub_line
from shown_balloon import Balloon, drawn_ink
from tray import EXIT, GET

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ICON_FILE = os.path.join(ROOT, "app", "cantivo.ico")  # what the exe's main icon is built from
MAIN, SUB = "春の海「序曲」", "カロＦＭ室内楽団／指揮：山田"
# The icon's images, in pixels: the 16-colour 32 and 16 of old, and those the tray and the
# desktop take at 120 dpi and above, where the system's small icon is 20, 24 or 32 pixels.
ICON_SIZES = {16, 20, 24, 28, 32, 36, 40, 48}


def show(program):
    program.double_click_icon()
    return Balloon(program.wait_shown())


def write_page(tmp_path, on_air):
    path = os.path.join(str(tmp_path), "onair.html")
    with open(path, "wb") as f:
        f.write(page(time_line(on_air), main_line(MAIN), sub_line(SUB)))
    return path


# The other locale's words: a Japanese system's and a Western system's.
OTHER_WORDS = {"AM": "午前", "PM": "午後", "午前": "AM", "午後": "PM"}


@pytest.mark.also_in_configs("western")
@pytest.mark.parametrize("half, shown", [("morning", "09:05"), ("afternoon", "21:05")])
def test_the_time_line_reads_with_the_locales_words(start, desktop, tmp_path, half, shown):
    """The locale's own word reads; the other system's word for the same half of the day is not
    the locale's and does not (English "AM" and "PM" read everywhere, so a Japanese locale's
    words are the ones a Western system refuses)."""
    word = desktop.probe.ask("locale")[half]
    program = start(write_page(tmp_path, word + " 9:05"))
    balloon = show(program)
    desktop.screen.park_pointer()
    image = desktop.screen.screenshot("time")
    assert balloon.cell_ink(image, 0) == drawn_ink(desktop.probe, shown)

    other = OTHER_WORDS[word]
    if other.isascii():
        return
    program.serve(write_page(tmp_path, other + " 9:05"))
    program.double_click_icon()
    box = program.wait_box("Cantivo")
    desktop.screen.screenshot("the other word")
    assert box["text"] == "'%s 9:05' is not a valid time." % other
    program.press(box)


@pytest.mark.only_in_configs("western")
def test_a_western_system_keeps_the_japanese_menu(start, desktop):
    """The system's code page is 1252, and the menu's captions are still the Japanese ones: the
    same pixels as a menu the probe draws with those captions through the wide calls."""
    assert desktop.probe.ask("locale")["acp"] == 1252
    program = start()
    menu = program.open_menu()
    assert menu.captions() == [GET, "-", EXIT]
    menu.escape()


@pytest.mark.only_in_configs("dpi-")
def test_the_balloon_follows_the_screens_resolution(start, desktop, config):
    """At dpi pixels per inch the font's em is 12 * dpi / 96: the balloon shows the glyphs this
    Wine draws at that em, one text row is that font's line high and the text column as wide as
    the wider text, so the program draws at the resolution itself rather than being enlarged
    as a picture of a 96-dpi balloon."""
    assert desktop.probe.ask("dpi")["dpi"] == config.dpi
    program = start("sample-onair.html")
    balloon = show(program)
    desktop.screen.park_pointer()
    image = desktop.screen.screenshot("balloon")
    balloon.crop(image).save(desktop.screen.artifact_path("balloon.png"))
    em = config.font_em
    main = desktop.probe.ask("textink IPAPGothic %d %s" % (em, MAIN))
    sub = desktop.probe.ask("textink IPAPGothic %d %s" % (em, SUB))
    assert balloon.H == sub["height"]
    assert balloon.W == max(main["width"], sub["width"])
    for cell, text in ((1, MAIN), (2, SUB)):
        shown = balloon.cell_ink(image, cell)
        drawn = drawn_ink(desktop.probe, text, em)
        assert shown == drawn, "\n".join(["shown:"] + shown + ["expected:"] + drawn)
    assert balloon.rect[2:] == (config.work_area[2] - 10, config.work_area[3] - 5)


@pytest.mark.only_in_configs("high-contrast")
def test_a_dark_high_contrast_theme_never_hides_the_text(start, desktop, config):
    """The theme's window text is white, which is the balloon's see-through colour key: every
    glyph of the three rows still shows, and nothing of the desktop behind shows through them."""
    program = start("sample-onair.html")
    balloon = show(program)
    desktop.screen.park_pointer()
    image = desktop.screen.screenshot("balloon")
    balloon.crop(image).save(desktop.screen.artifact_path("balloon.png"))
    fill = balloon.pixel(image, *(xy - at for xy, at in zip(balloon.body_point(), balloon.rect[:2])))
    assert fill != config.desktop_color
    for cell in range(3):
        top = balloon.cell_top(cell)
        row = list(balloon.crop(image, 10, top, balloon.W if cell == 0 else 10 + balloon.W, top + balloon.H).getdata())
        assert config.desktop_color not in row, "row %d shows the desktop through %d pixels" % (
            cell, row.count(config.desktop_color))
        assert sum(pixel != fill for pixel in row) > 10, "row %d holds no glyph" % cell


@pytest.mark.also_in_configs("dpi-")
def test_the_icon_has_an_image_for_each_tray_size(desktop):
    """Each image is 16-colour, and the one the system picks for its small icon (the tray's)
    is of that very size: drawn, not shrunk or enlarged from another."""
    icons = desktop.probe.ask("icons " + windows_path(desktop.exe))
    assert {image["size"] for image in icons["images"]} == ICON_SIZES
    assert all(image["colours"] == 16 and image["bits"] == 4 for image in icons["images"])
    chosen = next(image for image in icons["images"] if image["id"] == icons["chosen_for_small"])
    assert chosen["size"] == icons["small_icon"]


def icon_image(size):
    """The icon file's image of that size, its see-through pixels with alpha 0."""
    with Image.open(ICON_FILE) as icon:
        icon.size = (size, size)
        return icon.convert("RGBA")


@pytest.mark.also_in_configs("dpi-")
def test_the_tray_shows_the_icons_image_of_its_own_size(start, desktop):
    """The tray draws the image made for its size pixel for pixel, not another one shrunk or
    enlarged: the icon the program gives the tray is loaded at the system's small icon size."""
    size = desktop.probe.ask("dpi")["small_icon"]
    program = start()
    desktop.screen.park_pointer()
    left, top, right, bottom = program.wait_icon()["rect"]
    shot = desktop.screen.screenshot("tray")
    # The icon sits centred in its tray window.
    x0, y0 = left + (right - left - size) // 2, top + (bottom - top - size) // 2
    expected = icon_image(size)
    wrong = [(x, y) for y in range(size) for x in range(size)
             if expected.getpixel((x, y))[3] and shot.getpixel((x0 + x, y0 + y)) != expected.getpixel((x, y))[:3]]
    assert not wrong, "%d of the icon's pixels differ, first at %s" % (len(wrong), wrong[:5])


@pytest.mark.only_in_configs("taskbar-", "two-monitors")
def test_the_balloon_lands_at_the_corner_of_the_primary_work_area(start, desktop, config):
    """10 pixels left of the work area's right edge and 5 above its bottom edge, wherever the
    taskbar is, and on the primary monitor when there are two."""
    monitors = desktop.probe.ask("monitors")["monitors"]
    assert len(monitors) == len(config.screens)
    primary = next(m for m in monitors if m["primary"])
    assert tuple(primary["work"]) == config.work_area
    program = start()
    balloon = show(program)
    assert balloon.rect[2:] == (config.work_area[2] - 10, config.work_area[3] - 5)
    desktop.screen.park_pointer()
    image = desktop.screen.screenshot("balloon")
    assert balloon.pixel(image, balloon.width // 2, 0) == (49, 101, 255)
