"""The end-to-end tests' fixtures: one Wine session (display, prefix, wineserver, probe) for the
whole run, and a fresh program folder per test.

    /usr/bin/python3 -m pytest tests/e2e                      # all of them
    /usr/bin/python3 -m pytest tests/e2e -k save_writes       # some
    /usr/bin/python3 -m pytest tests/e2e --build-dir DIR      # another win64 build
    /usr/bin/python3 -m pytest tests/e2e --exe EXE            # another cantivo.exe (the release's)
    /usr/bin/python3 -m pytest tests/e2e --config dpi-144     # the tests marked for it, in
                                                              # another configuration (configs.py)

A test runs in a configuration by its marker (pytest.ini): only_in_configs(NAMES) for one that
checks what only those configurations have, also_in_configs(NAMES) for one of the default run
whose subject the configuration changes. Every other test runs in the default configuration only.

They need build/win64 built (the probe, and cantivo.exe unless --exe names another).
Screenshots and, for a failed test, the state the probe saw, go to build/e2e-artifacts/<test>/.
"""

import json
import os
import shutil

import pytest

# The harness and the page builders (make_pages) are on the path by pytest.ini's pythonpath.
import options
from configs import CONFIGS, prepare_prefix, start_display
from desktop import Desktop
from wine import Wine
from web_servers import StationNetwork
from wire_facts import WireFacts


def pytest_addoption(parser):
    group = parser.getgroup("cantivo")
    # The README's test command gives --exe the release exe, unpacked from its zip.
    options.add_pytest_options(group, options.EXE)
    group.addoption("--artifacts", default=os.path.join(options.ROOT, "build", "e2e-artifacts"),
                    help="where screenshots go")
    group.addoption("--config", choices=sorted(CONFIGS),
                    help="run the tests marked for this configuration (tests/harness/configs.py), in a Wine "
                         "session set up for it, instead of the whole suite in the default one")


CONFIG_MARKERS = ("only_in_configs", "also_in_configs")


def _named(marker_name, config_name):
    """Whether a marker's name takes the configuration: the name itself, or a prefix of it
    ending in "-"."""
    return config_name == marker_name or (marker_name.endswith("-") and config_name.startswith(marker_name))


def _configs_of(item):
    """The configurations the item's markers name, or raises on a name that takes none."""
    names = [name for marker in CONFIG_MARKERS for m in item.iter_markers(marker) for name in m.args]
    for name in names:
        if not any(_named(name, config) for config in CONFIGS):
            raise pytest.UsageError("%s is marked for the configuration %r, which is none of %s (tests/harness/"
                                    "configs.py)" % (item.nodeid, name, ", ".join(sorted(CONFIGS))))
    return names


def _runs_in(item, config_name):
    """Whether the item runs in the configuration (None: the default one)."""
    if config_name is None:
        return item.get_closest_marker("only_in_configs") is None
    return any(_named(name, config_name) for name in _configs_of(item))


def pytest_collection_modifyitems(config, items):
    name = config.getoption("--config")
    for item in items:
        _configs_of(item)
    keep = [item for item in items if _runs_in(item, name)]
    if name and not keep:
        raise pytest.UsageError("--config %s: none of the %d tests collected is marked for it (only_in_configs or "
                                "also_in_configs, tests/e2e/pytest.ini)" % (name, len(items)))
    dropped = [item for item in items if item not in keep]
    if dropped:
        config.hook.pytest_deselected(items=dropped)
        items[:] = keep


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    setattr(item, "report_" + report.when, report)


def _session(config, offline):
    artifacts = config.getoption("--artifacts")
    return Desktop(config.getoption("--build-dir"), config.getoption("--wine-dir"),
                   os.path.join(artifacts, "offline") if offline else artifacts, exe=config.getoption("--exe"),
                   offline=offline)


@pytest.fixture(scope="session")
def artifacts_root(pytestconfig):
    path = pytestconfig.getoption("--artifacts")
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


@pytest.fixture(scope="session")
def config(pytestconfig):
    """The configuration --config names, or None for the default one."""
    name = pytestconfig.getoption("--config")
    return CONFIGS[name] if name else None


@pytest.fixture(scope="session")
def desktop(pytestconfig, artifacts_root, config):
    if config is None:
        session = _session(pytestconfig, offline=False)
        try:
            yield session.start()
        finally:
            session.stop()
        return
    display = start_display(config)
    session = None
    try:
        prepare_prefix(Wine(pytestconfig.getoption("--wine-dir"), say=print), config)
        session = Desktop(pytestconfig.getoption("--build-dir"), pytestconfig.getoption("--wine-dir"), artifacts_root,
                          exe=pytestconfig.getoption("--exe"), prefix_name=config.prefix_name, env=config.env,
                          display=display.display)
        yield session.start()
    finally:
        if session:
            session.stop()
        display.stop()


@pytest.fixture(scope="session")
def offline_desktop(pytestconfig, artifacts_root):
    """A session whose Wine processes see a network with no route: the system is offline."""
    session = _session(pytestconfig, offline=True)
    try:
        yield session.start()
    finally:
        session.stop()


@pytest.fixture(scope="module")
def web_desktop(pytestconfig, artifacts_root):
    """A session whose Wine processes run in a network of their own, in which the station's
    host is 127.0.0.1 and real web servers can be started (web_servers.py). Only one module
    uses it: it ends with that module rather than idle through the others."""
    build_dir = pytestconfig.getoption("--build-dir")
    folder = os.path.join(artifacts_root, "web")
    network = StationNetwork(folder, WireFacts.of(build_dir))
    session = Desktop(build_dir, pytestconfig.getoption("--wine-dir"), folder, exe=pytestconfig.getoption("--exe"),
                      network=network, prefix_name="prefix-e2e-web")
    try:
        network.start()
        yield session.start()
    finally:
        try:
            session.stop()
        finally:
            network.stop()


def _dump_state(session, programs):
    """On a failure: a screenshot and what the probe sees, beside the test's screenshots."""
    state = {"programs": [{"folder": p.folder, "running": p.running(),
                           "status": p.process.returncode if p.process else None} for p in programs]}
    try:
        session.screen.screenshot("failure")
        for command in ("tray", "foreground", "menus", "boxes", "windows"):
            state[command] = session.probe.ask(command)
    except Exception as error:  # the state is a help; the failure itself is already reported
        state["error"] = repr(error)
    folder = os.path.join(session.artifacts_dir, session.screen.label)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "state.json"), "w") as f:
        json.dump(state, f, ensure_ascii=False, indent=1)


def _programs(session, request):
    session.screen.begin(request.node.name)
    started = []

    def start(page="good.html", log=None, wait_icon=True):
        """cantivo.exe from a new folder of its own, the station serving page; log, when
        given, is written to cantivolog.log beside the exe first."""
        program = session.start_program(page, log=log, wait_icon=wait_icon)
        started.append(program)
        return program

    yield start
    failed = getattr(request.node, "report_call", None) is not None and request.node.report_call.failed
    if failed:
        _dump_state(session, started)
    errors = []
    for program in started:
        try:
            program.stop()
        except Exception as error:
            errors.append(error)
    if errors and not failed:
        raise errors[0]


@pytest.fixture
def start(desktop, request):
    """Starts cantivo.exe in the shared session; every program started is stopped afterwards."""
    yield from _programs(desktop, request)


@pytest.fixture
def start_offline(offline_desktop, request):
    yield from _programs(offline_desktop, request)
