"""What /proc tells about other processes: which run in a Wine prefix, their command lines, the
Linux process that runs a Windows program, and what it holds (resident memory, threads, open
file descriptors). Every figure is None once the process is gone."""

import os


def _read(pid, what):
    try:
        with open("/proc/%d/%s" % (pid, what), "rb") as f:
            return f.read().split(b"\0")
    except OSError:  # gone, or not ours to read
        return []


def _stat(pid):
    """The fields of /proc/PID/stat after the command name: state, parent, ..."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()
    except (OSError, IndexError):
        return []


def alive(pid):
    """Running, and not a zombie waiting for its parent."""
    fields = _stat(pid)
    return bool(fields) and fields[0] != "Z"


def parent(pid):
    fields = _stat(pid)
    return int(fields[1]) if fields else None


def cmdline(pid):
    return _read(pid, "cmdline")


def pids():
    return [int(entry) for entry in os.listdir("/proc") if entry.isdigit()]


def in_prefix(prefix):
    """Unix ids of the processes running in the Wine prefix: every Wine process, the
    wineserver among them, carries WINEPREFIX in its environment."""
    mark = b"WINEPREFIX=" + os.path.abspath(prefix).encode()
    return [pid for pid in pids() if mark in _read(pid, "environ")]


def _status(pid, field):
    """The number after "field:" in /proc/PID/status (kB for memory); None when it is gone."""
    mark = field.encode() + b":"
    for line in _read(pid, "status")[0].splitlines() if alive(pid) else []:
        if line.startswith(mark):
            return int(line.split()[1])
    return None


def resident_kb(pid):
    """The process's resident memory (VmRSS) in kB."""
    return _status(pid, "VmRSS")


def resident_bytes(pid):
    """The process's resident memory (VmRSS) in bytes."""
    kb = resident_kb(pid)
    return kb * 1024 if kb is not None else None


def threads(pid):
    """The process's threads, as Linux counts them."""
    return _status(pid, "Threads")


def open_fds(pid):
    """How many file descriptors the process holds open."""
    try:
        return len(os.listdir("/proc/%d/fd" % pid))
    except OSError:
        return None


def running_exe(prefix, exe):
    """The Unix id of the process in the prefix that runs exe (a Unix path); None when none.
    Wine leaves a program's path as the first word of its process's command line: a Unix path
    when a loader started it directly, its Windows path (Z:\\...) when Wine's start.exe did.
    Only the first word counts: start.exe's own command line names the program too."""
    wanted = os.path.abspath(exe).lower().encode()
    for pid in in_prefix(prefix):
        words = cmdline(pid)
        first = words[0].replace(b"\\", b"/").lower() if words else b""
        if first.startswith(b"z:/"):
            first = first[2:]
        if first == wanted:
            return pid
    return None


class ProgramProcess:
    """The Linux process that runs a Windows program (exe, a Unix path) in a Wine prefix,
    found once and found again should it have gone."""

    def __init__(self, prefix, exe):
        self.prefix, self.exe = prefix, exe
        self._pid = None

    def pid(self):
        """Its Unix id; None when no process in the prefix runs exe."""
        if not (self._pid and alive(self._pid)):
            self._pid = running_exe(self.prefix, self.exe)
        return self._pid

    def resident_kb(self):
        pid = self.pid()
        return resident_kb(pid) if pid else None
