"""The balloon as it shows on screen: its size and place follow from its texts, and it is
painted as a light-cyan body with a detached tail and a close button, see-through elsewhere."""

FILL = (206, 255, 255)
OUTLINE = (49, 101, 255)
SCREEN = (1024, 768)  # no taskbar here, so the work area is the whole screen


def test_the_balloon_is_sized_placed_and_painted_from_its_texts(start, desktop):
    program = start()
    program.double_click_icon()
    shown = program.wait_shown()
    left, top, right, bottom = shown["rect"]
    width, height = right - left, bottom - top
    W, H = width - 20, (height - 37) // 3
    assert height == 3 * H + 37 and W >= 50 and H > 0
    # 10 pixels left of the work area's right edge, 5 above its bottom edge.
    assert (right, bottom) == (SCREEN[0] - 10, SCREEN[1] - 5)

    desktop.park_pointer()
    image = desktop.screenshot("balloon")
    background = image.getpixel((SCREEN[0] // 2, SCREEN[1] // 3))

    def pixel(x, y):
        return image.getpixel((left + x, top + y))

    # The body: outlined top and bottom, filled inside, its rounded corners see-through.
    assert pixel(width // 2, 0) == OUTLINE
    assert pixel(width // 2, 3 * H + 24) == OUTLINE
    assert pixel(W + 15, 3 * H + 15) == FILL
    assert pixel(0, 0) == background
    # Two see-through rows between body and tail, the tail's tip on the bottom edge.
    for x in range(width):
        assert pixel(x, 3 * H + 25) == background and pixel(x, 3 * H + 26) == background
    assert pixel(15, 3 * H + 36) == OUTLINE
    assert pixel(5, 3 * H + 30) == background and pixel(25, 3 * H + 30) == background
    # The close button: a square at (W, 5) to (W + 10, 15) with a cross.
    assert pixel(W, 5) == OUTLINE and pixel(W + 9, 14) == OUTLINE
    assert pixel(W + 5, 10) == OUTLINE
    assert pixel(W + 5, 6) == FILL
    # Everything right of the body is see-through.
    assert pixel(width - 1, height - 1) == background
