"""The short soak's options: where the builds are, and how many cycles of each kind.

    /usr/bin/python3 -m pytest tests/soak                          # the short soak, as CI runs it
    /usr/bin/python3 -m pytest tests/soak --closes 1000 --every 50  # longer

The full-length soak, with its figures printed, is tests/soak/soak.py.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)


def pytest_addoption(parser):
    group = parser.getgroup("cantivo soak")
    group.addoption("--build-dir", default=os.path.join(ROOT, "build", "win64"),
                    help="the win64 build tree holding app/cantivo.exe and the probe")
    group.addoption("--exe", default=None, help="the cantivo.exe to soak (default: the build tree's own)")
    group.addoption("--wine-dir", default=os.path.join(ROOT, "build", "wine"),
                    help="where the Wine prefixes and the generated locale live")
    group.addoption("--artifacts", default=os.path.join(ROOT, "build", "soak-artifacts"),
                    help="where the samples and screenshots go")
    for kind, default in (("closes", 100), ("saves", 40), ("errors", 30), ("offline", 30)):
        group.addoption("--" + kind, type=int, default=default, help="cycles of that kind (default %d)" % default)
    group.addoption("--every", type=int, default=10, help="cycles between two samples")
