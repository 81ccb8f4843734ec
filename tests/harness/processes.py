"""What /proc tells about other processes: which run in a Wine prefix, and their command lines."""

import os


def _read(pid, what):
    try:
        with open("/proc/%d/%s" % (pid, what), "rb") as f:
            return f.read().split(b"\0")
    except OSError:  # gone, or not ours to read
        return []


def cmdline(pid):
    return _read(pid, "cmdline")


def pids():
    return [int(entry) for entry in os.listdir("/proc") if entry.isdigit()]


def in_prefix(prefix):
    """Unix ids of the processes running in the Wine prefix: every Wine process, the
    wineserver among them, carries WINEPREFIX in its environment."""
    mark = b"WINEPREFIX=" + os.path.abspath(prefix).encode()
    return [pid for pid in pids() if mark in _read(pid, "environ")]
