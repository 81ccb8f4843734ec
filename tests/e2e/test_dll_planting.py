"""No code from the program's own folder. Users unzip Cantivo into a folder of their own, often
Downloads, where anything may lie beside the exe. A DLL planted there under the name of a DLL
the program loads, one that is not among the system's known DLLs, must never be loaded.

Which DLLs the program loads is read, not assumed: a first run goes through start, Get, Save,
the error box and Exit with Wine's loaddll channel on. Then a DLL of each such name is planted
beside the exe and the same run repeated, with Windows' search order for those names (Wine
otherwise prefers its own builtin copies). A planted DLL, once loaded, leaves a marker file.
"""

import os
import re
import shutil
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
PLANTED_SOURCE = os.path.join(HERE, "planted", "planted_dll.c")
COMPILERS = {64: "x86_64-w64-mingw32-gcc", 32: "i686-w64-mingw32-gcc"}

# Windows' known DLLs (the KnownDLLs key, Windows 7 to 11): always mapped from the system
# folder, with their own dependencies, whatever lies beside the exe. ntdll is in every process
# before any search is made.
KNOWN_DLLS = {
    "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus", "imagehlp", "imm32",
    "kernel32", "lpk", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost",
    "setupapi", "shcore", "shell32", "shlwapi", "user32", "usp10", "wldap32", "ws2_32", "ntdll",
}
# Where Wine's loader is not Windows': no program can keep these from its own folder here.
#  - kernelbase, win32u, ucrtbase, version: Wine's own dependencies of the known DLLs, loaded
#    before the program's first instruction, through the program's folder (Windows takes a
#    known DLL's dependencies from the system folder);
#  - dnsapi, iphlpapi, zlib1: delay-loaded by Wine's own WinInet through the search path of the
#    process's start, which ignores SetDefaultDllDirectories (Windows' delay loads follow it).
# The unmended program is caught by its other loads (wininet itself, mpr, uxtheme).
WINE_LOADER_ONLY = {"kernelbase", "win32u", "ucrtbase", "version", "dnsapi", "iphlpapi", "zlib1"}
# A load as Wine's loaddll channel reports it: Loaded L"C:\\windows\\system32\\wininet.dll" at ...
LOADED = re.compile(r'Loaded L"(?P<path>[^"]+)" at [0-9A-Fa-f]+: (?P<kind>\w+)')


def loaded_dlls(trace):
    """{name: (path, kind)} of every module the trace shows loaded, the exe left out."""
    found = {}
    for match in LOADED.finditer(trace):
        path = match.group("path").replace("\\\\", "\\")
        name = path.rsplit("\\", 1)[-1].lower()
        if not name.endswith(".exe"):
            found[name] = (path, match.group("kind"))
    return found


def plantable(names):
    """The names a planted DLL could take from the program: all but the known DLLs and the
    ones only Wine's loader takes from the program's folder."""
    return sorted(n for n in names if n.rsplit(".", 1)[0] not in KNOWN_DLLS | WINE_LOADER_ONLY)


def exe_imports(exe):
    """{dll name (lower case): [function names]} from the exe's import table."""
    dump = subprocess.run(["objdump", "-p", exe], capture_output=True, text=True, check=True).stdout
    imports, current = {}, None
    for line in dump.splitlines():
        dll = re.match(r"\s*DLL Name: (\S+)", line)
        if dll:
            current = imports.setdefault(dll.group(1).lower(), [])
            continue
        function = re.match(r"\s*[0-9a-f]+\s+[0-9a-f]+\s+(\w+)$", line)
        if current is not None and function:
            current.append(function.group(1))
    return imports


def build_planted_dll(name, bits, exports, folder):
    """A planted DLL called name, for the exe's machine, exporting exports as failing stubs."""
    definition = os.path.join(folder, name + ".def")
    with open(definition, "w") as f:
        f.write("LIBRARY %s\nEXPORTS\n" % name)
        f.writelines("    %s=Stub\n" % export for export in exports)
    target = os.path.join(folder, name)
    subprocess.run([COMPILERS[bits], "-shared", "-O1", "-o", target, PLANTED_SOURCE, definition],
                   check=True, capture_output=True, timeout=120)
    return target


def run_as_a_user(program):
    """Get, Save, the error box, Exit: every path that loads something after the start."""
    program.double_click_icon()
    program.wait_shown()
    program.save()
    program.wait_hidden()
    program.serve("bad-time.html")
    program.double_click_icon()
    program.press(program.wait_box("Cantivo"))
    program.exit()
    assert program.wait_exit() == 0


def traced_run(desktop, planted=(), env=None):
    """A program folder with the planted DLLs beside the exe, and one run as a user there with
    the loaddll channel on; returns the folder's files, the trace, and what went wrong in the
    run (None when it went as usual)."""
    folder = desktop.new_program_folder()
    for path in planted:
        shutil.copy(path, folder)
    program = desktop.program_in(folder, "good.html")
    trace_path = folder + ".trace"
    failure = None
    try:
        with open(trace_path, "wb") as trace:
            program.start(env=dict(env or {}, WINEDEBUG="+loaddll"), stderr=trace)
        run_as_a_user(program)
        if not program.log_bytes():
            failure = "Save wrote nothing"
    except (AssertionError, TimeoutError) as error:
        failure = error
    finally:
        program.stop()
    with open(trace_path, encoding="utf-8", errors="replace") as f:
        return os.listdir(folder), f.read(), failure


def test_no_dll_is_taken_from_the_program_folder(desktop, tmp_path):
    # What the program loads, and from where.
    _, trace, failure = traced_run(desktop)
    assert failure is None
    loaded = loaded_dlls(trace)
    assert "wininet.dll" in loaded, sorted(loaded)
    candidates = plantable(loaded)
    print("DLLs loaded by %s:" % desktop.exe)
    for name in sorted(loaded):
        print("  %-16s %-8s %s" % (name, loaded[name][1], loaded[name][0]))
    print("plantable: " + ", ".join(candidates))

    # A DLL of each of those names planted beside the exe, with Windows' search order for them.
    imports = exe_imports(desktop.exe)
    planted = [build_planted_dll(name, desktop.exe_bits, imports.get(name, []), str(tmp_path))
               for name in candidates]
    overrides = ";".join("%s=n,b" % name.rsplit(".", 1)[0] for name in candidates)
    files, trace, failure = traced_run(desktop, planted, {"WINEDLLOVERRIDES": overrides})

    assert sorted(f for f in files if f.endswith(".planted")) == []
    native = {name: path for name, (path, kind) in loaded_dlls(trace).items() if kind != "builtin"}
    assert native == {}
    assert failure is None


def test_without_wininet_a_get_is_a_network_that_does_not_work(desktop):
    # WinInet is loaded at the first Get, no longer at the start: a system without it (here,
    # Wine told to refuse it) starts the program, and every Get says the network is not there.
    program = desktop.program_in(desktop.new_program_folder(), "good.html")
    try:
        program.start(env={"WINEDLLOVERRIDES": "wininet=d"})
        for _ in range(2):
            program.double_click_icon()
            box = program.wait_box("not connected.")
            program.press(box)
            assert program.running()
        assert not program.main_window()["visible"]
        assert program.station.requests == []
    finally:
        program.stop()
