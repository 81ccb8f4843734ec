"""Writes the on-air page fixtures, in Shift-JIS, as the station lays its page out.

The station's page carries its information at fixed distances from the ends of three lines:
the time line (marker "xxs2"), the main line (marker "xxs3") and the line after it. Each
builder pads its line's tail so that the cut takes exactly the given text.

  /usr/bin/python3 tests/pages/make_pages.py
"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))


def padded(head, text, tail, room):
    """head + text + tail, padded with spaces so that head and tail take room bytes."""
    assert len(head) + len(tail) <= room
    return head + text + tail + " " * (room - len(head) - len(tail))


def time_line(time):
    return padded('      <span class="xxs2">', time, "</span><br>", 36)


def main_line(text):
    return padded('<span class="xxs3">', text, "</span>", 27)


def sub_line(text):
    return padded("", text, "</span><br></td>", 20)


def page(*body):
    lines = [
        "<html>",
        "<head>",
        '<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">',
        "<title>KALO-FM ON AIR</title>",
        "</head>",
        "<body>",
        "<table>",
        "  <tr>",
        '    <td class="onair">',
        *body,
        "  </tr>",
        "</table>",
        "</body>",
        "</html>",
    ]
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


# The demo's page: its time as the page writes it and as the balloon shows it, its main text
# and its sub text.
SAMPLE = {"time": "PM 9:05", "shown_time": "21:05", "main": "春の海「序曲」", "sub": "カロＦＭ室内楽団／指揮：山田"}

# good.html's song: its on-air time, main text and sub text; bad-time.html's with a time that
# does not read.
GOOD = {"time": "21:38", "main": "夜明けのメロディ", "sub": "カロ・オーケストラ"}

PAGES = {
    "good.html": page(time_line(GOOD["time"]), main_line(GOOD["main"]), sub_line(GOOD["sub"])),
    "sample-onair.html": page(time_line(SAMPLE["time"]), main_line(SAMPLE["main"]), sub_line(SAMPLE["sub"])),
    "empty-sub.html": page(time_line("06:30"), main_line("朝の歌"), sub_line("")),
    "bad-time.html": page(time_line("25:61"), main_line(GOOD["main"]), sub_line(GOOD["sub"])),
    "no-marker.html": page(time_line("08:15"), "      <span>番組表</span>"),
    "last-line.html": ("<html>\r\n" + time_line("10:00") + "\r\n" + main_line("最後の行")).encode("cp932"),
}

if __name__ == "__main__":
    for name, data in PAGES.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
