"""The balloon as it shows on screen: its rectangle, with W and H read back from its size, and
its text cells read as ink, to hold against what this Wine draws for a text in the same font."""

# What the program's font falls back to on this system, and its em at 96 dpi.
FACE, EM = "IPAPGothic", 12


class Balloon:
    def __init__(self, shown):
        self.rect = tuple(shown["rect"])
        self.xid = shown["xid"]
        left, top, right, bottom = self.rect
        self.width, self.height = right - left, bottom - top
        self.W, self.H = self.width - 20, (self.height - 37) // 3

    def at(self, x, y):
        """Screen point of the client point x, y."""
        return self.rect[0] + x, self.rect[1] + y

    def pixel(self, image, x, y):
        return image.getpixel(self.at(x, y))

    def crop(self, image, left=0, top=0, right=None, bottom=None):
        return image.crop(self.at(left, top) + self.at(self.width if right is None else right,
                                                       self.height if bottom is None else bottom))

    def button_centre(self):
        return self.at(self.W + 5, 10)

    def body_point(self):
        """On the body, left of the close button and clear of the texts' ink."""
        return self.at(self.W - 8, 10)

    def cell_top(self, cell):
        """The top of text cell 0 (the time), 1 (the main text) or 2 (the sub text)."""
        return 5 + cell * (self.H + 5)

    def cell_ink(self, image, cell):
        """The ink of a text cell; the time's cell ends where the close button starts."""
        top = self.cell_top(cell)
        return ink_rows(self.crop(image, 10, top, self.W if cell == 0 else 10 + self.W, top + self.H))


def drawn_ink(probe, text, em=EM):
    """The ink of text as this Wine draws it in the program's font (em: its size in pixels at
    another resolution)."""
    return trimmed(probe.ask("textink %s %d %s" % (FACE, em, text))["rows"])


def ink_rows(image):
    """The rows of an image's dark pixels, trimmed to the ink's bounding box."""
    rows = ["".join("#" if sum(image.getpixel((x, y))) < 3 * 128 else "." for x in range(image.width))
            for y in range(image.height)]
    return trimmed(rows)


def trimmed(rows):
    inked = [y for y, row in enumerate(rows) if "#" in row]
    if not inked:
        return []
    rows = rows[inked[0]:inked[-1] + 1]
    first = min(row.index("#") for row in rows if "#" in row)
    last = max(row.rindex("#") for row in rows if "#" in row)
    return [row[first:last + 1] for row in rows]
