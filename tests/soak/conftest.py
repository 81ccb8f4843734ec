"""The short soak's options: where the builds are, and how many cycles of each kind.

    /usr/bin/python3 -m pytest tests/soak                          # the short soak, as CI runs it
    /usr/bin/python3 -m pytest tests/soak --closes 1000 --every 50  # longer

The full-length soak, with its figures printed, is tests/soak/soak.py.
"""

import os

import options


def pytest_addoption(parser):
    group = parser.getgroup("cantivo soak")
    options.add_pytest_options(group, options.EXE)
    group.addoption("--artifacts", default=os.path.join(options.ROOT, "build", "soak-artifacts"),
                    help="where the samples and screenshots go")
    for kind, default in (("closes", 100), ("saves", 40), ("errors", 30), ("offline", 30)):
        group.addoption("--" + kind, type=int, default=default, help="cycles of that kind (default %d)" % default)
    group.addoption("--every", type=int, default=10, help="cycles between two samples")
