"""The page fixtures under tests/pages are what tests/pages/make_pages.py writes: a page edited
by hand, or a builder changed without writing its pages anew, would have the tests check
another page than the one they name."""

import glob
import os

from make_pages import HERE, PAGES


def test_every_page_fixture_is_the_generators_output():
    written = {os.path.basename(path) for path in glob.glob(os.path.join(HERE, "*.html"))}
    assert written == set(PAGES), "run /usr/bin/python3 tests/pages/make_pages.py"
    for name, made in PAGES.items():
        with open(os.path.join(HERE, name), "rb") as f:
            assert f.read() == made, "%s differs from what make_pages.py makes" % name
