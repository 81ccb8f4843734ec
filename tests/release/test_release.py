"""The release in dist/, as tools/release.sh made it: what each zip holds, the exe a Windows
user gets (small, stripped, importing only Windows' own DLLs, versioned, its debug information
beside it and tied to it), the checksums, and that a second build of the same sources in
another folder, at another time, gives the very same bytes.

    /usr/bin/python3 -m pytest tests/release          # after tools/release.sh
"""

import hashlib
import os
import re
import shutil
import struct
import subprocess
import time
import zipfile
import zlib
from xml.etree import ElementTree

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from wire_facts import WireFacts  # the harness is on the path by pytest.ini's pythonpath
DIST = os.path.join(ROOT, "dist")
CPU = {"win64": "x86_64", "win32": "i686"}
MAX_EXE_BYTES = 1 << 20
# Windows' own DLLs that are also known DLLs, always taken from the system folder: an import of
# any other would be looked for beside the exe first (msvcrt is the system's C runtime).
KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "msvcrt.dll", "advapi32.dll"}
# Address space layout randomisation (with 64-bit addresses where there are) and no code run
# from data pages.
HARDENING = {"win64": {"HIGH_ENTROPY_VA", "DYNAMIC_BASE", "NX_COMPAT"}, "win32": {"DYNAMIC_BASE", "NX_COMPAT"}}
GUIDES = ["README-en.txt", "README-ja.txt"]


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        return re.search(r"project\(Cantivo VERSION ([0-9.]+)", f.read()).group(1)


VERSION = project_version()


def source_date_epoch():
    return int(os.environ.get("SOURCE_DATE_EPOCH") or
               subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, capture_output=True, text=True,
                              check=True).stdout)


def name(arch):
    return "cantivo-%s-%s" % (VERSION, arch)


def read_zip(arch):
    with zipfile.ZipFile(os.path.join(DIST, name(arch) + ".zip")) as archive:
        return [(info, archive.read(info)) for info in archive.infolist()]


def exe_of(arch, folder):
    """The exe of the zip, written out into folder."""
    path = os.path.join(folder, name(arch) + ".exe")
    if not os.path.exists(path):
        entries = {info.filename: data for info, data in read_zip(arch)}
        with open(path, "wb") as f:
            f.write(entries[name(arch) + "/cantivo.exe"])
    return path


def tool(arch, which, *args):
    return subprocess.run(["%s-w64-mingw32-%s" % (CPU[arch], which)] + list(args), capture_output=True, text=True,
                          check=True).stdout


@pytest.fixture(scope="module")
def unpacked(tmp_path_factory):
    return str(tmp_path_factory.mktemp("exes"))


def test_dist_holds_both_zips_their_debug_files_and_checksums():
    expected = sorted([name(a) + ".zip" for a in CPU] + [name(a) + ".exe.debug" for a in CPU] + ["SHA256SUMS"])
    assert sorted(os.listdir(DIST)) == expected
    with open(os.path.join(DIST, "SHA256SUMS")) as f:
        sums = f.read()
    lines = []
    for zip_name in sorted(name(a) + ".zip" for a in CPU):
        with open(os.path.join(DIST, zip_name), "rb") as f:
            lines.append("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), zip_name))
    assert sums == "".join(lines)


@pytest.mark.parametrize("arch", CPU)
def test_each_zip_holds_one_folder_with_the_exe_and_the_guides_at_fixed_times_and_modes(arch):
    entries = read_zip(arch)
    folder = name(arch) + "/"
    assert [info.filename for info, _ in entries] == [folder, folder + "cantivo.exe"] + [folder + g for g in GUIDES]
    when = time.gmtime(source_date_epoch())
    for info, _ in entries:
        # Zip times are in two-second steps.
        assert info.date_time == tuple(when[:5]) + (when[5] // 2 * 2,)
        assert info.external_attr >> 16 == (0o40755 if info.is_dir() else 0o100644)


@pytest.mark.parametrize("arch", CPU)
def test_the_guides_are_filled_in_for_this_build_and_read_in_notepad(arch):
    entries = {info.filename: data for info, data in read_zip(arch)}
    # The address the release's own build gave the program (tools/release.sh builds it there).
    wire = WireFacts.of(os.path.join(ROOT, "build", "release-" + arch))
    for guide in GUIDES:
        data = entries[name(arch) + "/" + guide]
        assert data.startswith(b"\xef\xbb\xbf")
        assert b"\n" not in data.replace(b"\r\n", b"")
        text = data.decode("utf-8")
        assert re.findall(r"@[A-Z]+@", text) == []
        for fact in (VERSION, arch, "http://%s%s" % (wire.station_host, wire.on_air_path), "shell:startup", wire.log_file_name,
                     "tools/release.sh --host"):
            assert fact in text, (guide, fact)


@pytest.mark.parametrize("arch", CPU)
def test_the_exe_is_small_stripped_and_imports_only_known_dlls(arch, unpacked):
    exe = exe_of(arch, unpacked)
    assert os.path.getsize(exe) <= MAX_EXE_BYTES
    headers = tool(arch, "objdump", "-h", exe)
    assert ".debug_" not in headers and ".gnu_debuglink" in headers
    assert "no symbols" in subprocess.run(["%s-w64-mingw32-nm" % CPU[arch], exe], capture_output=True,
                                          text=True).stderr
    private = tool(arch, "objdump", "-p", exe)
    dlls = {dll.lower() for dll in re.findall(r"DLL Name: (\S+)", private)}
    assert dlls and dlls <= KNOWN_DLLS, dlls
    # No time stamp in the PE header: 0 is "none".
    assert re.search(r"^Time/Date\s+Thu Jan  1 00:00:00 1970$", private, re.M), private[:400]


@pytest.mark.parametrize("arch", CPU)
def test_the_exe_is_hardened(arch, unpacked):
    exe = exe_of(arch, unpacked)
    private = tool(arch, "objdump", "-p", exe)
    flags = re.search(r"^DllCharacteristics\s+[0-9a-f]+\n((?:\t+[A-Z_]+\n)*)", private, re.M)
    assert flags, private[:1200]
    assert HARDENING[arch] <= set(flags.group(1).split()), flags.group(1)
    # Randomised loading needs the relocations kept.
    assert ".reloc" in tool(arch, "objdump", "-h", exe)


@pytest.mark.parametrize("arch", CPU)
def test_the_exe_asks_for_no_virtualization_says_it_needs_windows_7_and_names_its_version(arch, unpacked):
    with open(exe_of(arch, unpacked), "rb") as f:
        data = f.read()
    # The manifest resource is the XML as written; without requestedExecutionLevel Windows runs
    # the 32-bit exe with its writes to a protected folder redirected to the VirtualStore.
    manifests = re.findall(rb"<\?xml[^>]*\?>\s*<assembly .*?</assembly>", data, re.S)
    assert len(manifests) == 1
    space = "{urn:schemas-microsoft-com:asm.v3}"
    manifest = ElementTree.fromstring(manifests[0])
    assert manifest.find("{urn:schemas-microsoft-com:asm.v1}assemblyIdentity").attrib["version"] == VERSION + ".0"
    level = manifest.find(
        "%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel" % ((space,) * 4))
    assert level is not None and level.attrib == {"level": "asInvoker", "uiAccess": "false"}
    private = tool(arch, "objdump", "-p", exe_of(arch, unpacked))
    for field in ("OSystemVersion", "SubsystemVersion"):
        assert re.search(r"^Major%s\s+6$" % field, private, re.M) and re.search(r"^Minor%s\s+1$" % field, private, re.M)


@pytest.mark.parametrize("arch", CPU)
def test_the_version_resource_has_the_projects_version(arch, unpacked):
    with open(exe_of(arch, unpacked), "rb") as f:
        data = f.read()
    numbers = [int(n) for n in (VERSION + ".0").split(".")]
    fixed = data.index(struct.pack("<I", 0xFEEF04BD))
    file_ms, file_ls, product_ms, product_ls = struct.unpack("<4I", data[fixed + 8:fixed + 24])
    packed = (numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3])
    assert (file_ms, file_ls) == packed and (product_ms, product_ls) == packed
    # Each string: its key, the key's end, padding to four bytes, the value and its end.
    for key in ("FileVersion", "ProductVersion"):
        value = (VERSION + ".0\0").encode("utf-16-le")
        assert re.search(re.escape(key.encode("utf-16-le")) + b"(\0\0)+" + re.escape(value), data), key


@pytest.mark.parametrize("arch", CPU)
def test_the_debug_file_is_tied_to_the_exe_and_resolves_its_addresses(arch, unpacked, tmp_path):
    exe = exe_of(arch, unpacked)
    debug = os.path.join(DIST, name(arch) + ".exe.debug")
    link = str(tmp_path / "link")
    tool(arch, "objcopy", "--dump-section", ".gnu_debuglink=" + link, exe, str(tmp_path / "scratch.exe"))
    with open(link, "rb") as f:
        data = f.read()
    linked_name = data[:data.index(b"\0")].decode()
    with open(debug, "rb") as f:
        crc = zlib.crc32(f.read())
    assert linked_name == os.path.basename(debug) and struct.unpack("<I", data[-4:])[0] == crc
    # A crash address in the program's own code resolves to its source file and line.
    symbols = tool(arch, "nm", debug)
    address = re.search(r"^([0-9a-f]+) T _*_ZN7cantivo11TfrmCantivo7G1ClickEv$", symbols, re.M).group(1)
    where = tool(arch, "addr2line", "-e", debug, address).strip()
    assert re.fullmatch(r"(\./)?app/main_window\.cpp:\d+", where), where


def test_a_second_build_elsewhere_and_later_gives_the_same_bytes(tmp_path):
    """The sources copied into another folder, built again: every file of dist/ the same."""
    copy = os.path.join(ROOT, "build", "repro", "cantivo-elsewhere")
    shutil.rmtree(copy, ignore_errors=True)
    files = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                           capture_output=True, check=True).stdout.split(b"\0")
    for path in filter(None, files):
        source = os.path.join(ROOT, path.decode())
        if os.path.isfile(source):
            os.makedirs(os.path.dirname(os.path.join(copy, path.decode())), exist_ok=True)
            shutil.copy2(source, os.path.join(copy, path.decode()))
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(source_date_epoch()))
    subprocess.run(["bash", os.path.join(copy, "tools", "release.sh")], cwd=copy, env=env, check=True,
                   stdout=subprocess.DEVNULL, timeout=1200)
    again = os.path.join(copy, "dist")
    assert sorted(os.listdir(again)) == sorted(os.listdir(DIST))
    different = []
    for file_name in sorted(os.listdir(DIST)):
        with open(os.path.join(DIST, file_name), "rb") as a, open(os.path.join(again, file_name), "rb") as b:
            if a.read() != b.read():
                different.append(file_name)
    assert different == []
