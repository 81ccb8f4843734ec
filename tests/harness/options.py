"""The options the entries into the harness take, with the same defaults everywhere: the
pytest runs (tests/e2e, tests/soak) and the scripts (the soak, the start-time figure, the Win32
test runner, the station, the start command's tools/run_cantivo.py).

    options.add_arguments(parser)                   # an argparse parser: the build and Wine folders
    options.add_pytest_options(group, EXE)          # a pytest option group: those and --exe

Each default is the variable's value when it is set in the environment, else the build folder's.
"""

import os

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

BUILD_DIR, WINE_DIR, EXE = "--build-dir", "--wine-dir", "--exe"
FOLDERS = (BUILD_DIR, WINE_DIR)

# (option, environment variable, default, help)
OPTIONS = [
    ("--build-dir", "CANTIVO_BUILD_DIR", os.path.join(ROOT, "build", "win64"),
     "the win64 build tree: its wire_facts.json, the probe and, unless another is named, cantivo.exe"),
    ("--wine-dir", "CANTIVO_WINE_DIR", os.path.join(ROOT, "build", "wine"),
     "where the Wine prefixes and the generated locale live"),
    ("--exe", "CANTIVO_EXE", None, "the cantivo.exe to run (the release's, say), else the build tree's own"),
]


def _each(extra):
    for option, variable, default, text in OPTIONS:
        if option in FOLDERS + extra:
            yield option, os.environ.get(variable) or default, "%s (default: $%s, else %s)" % (text, variable, default)


def add_arguments(parser, *extra):
    """The build and Wine folders' options, and those of extra."""
    for option, default, text in _each(extra):
        parser.add_argument(option, default=default, help=text)


def add_pytest_options(group, *extra):
    for option, default, text in _each(extra):
        group.addoption(option, default=default, help=text)
