"""Packs one Windows build of Cantivo into its release zip, the same bytes every time.

  package_release.py --exe EXE --arch win64 --version 0.1.0 --host HOST --out ZIP

The zip holds one folder, cantivo-VERSION-ARCH/, with cantivo.exe and the user's guides
(release/README-*.txt) with the version, the build and the host filled in. The guides get
CRLF line ends, which every Notepad shows, and a UTF-8 byte order mark, by which older
Notepads tell UTF-8 from the ANSI code page. The entries come in a fixed order, with fixed
permissions and the time SOURCE_DATE_EPOCH gives (the last commit's, from tools/release.sh).
"""

import argparse
import glob
import os
import re
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BOM = "\ufeff"


def guides(version, arch, host):
    """(name, bytes) for each user's guide, in name order."""
    for path in sorted(glob.glob(os.path.join(ROOT, "release", "README-*.txt"))):
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for key, value in (("@VERSION@", version), ("@ARCH@", arch), ("@HOST@", host)):
            text = text.replace(key, value)
        left = re.findall(r"@[A-Z]+@", text)
        if left:
            raise SystemExit("package_release: %s has placeholders no one fills: %s" % (path, " ".join(left)))
        yield os.path.basename(path), (BOM + text.replace("\n", "\r\n")).encode("utf-8")


def entry(name, when, mode, compression=zipfile.ZIP_DEFLATED):
    info = zipfile.ZipInfo(name, date_time=when)
    info.external_attr = mode << 16
    info.create_system = 3  # Unix, so that the mode above is what it says
    info.compress_type = compression
    return info


def main():
    parser = argparse.ArgumentParser()
    for option in ("--exe", "--arch", "--version", "--host", "--out"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        raise SystemExit("package_release: SOURCE_DATE_EPOCH is not set")
    # A zip's times are in two-second steps, from 1980 on.
    when = time.gmtime(max(int(epoch), 315532800))[:6]
    folder = "cantivo-%s-%s/" % (args.version, args.arch)
    with open(args.exe, "rb") as f:
        files = [("cantivo.exe", f.read())] + list(guides(args.version, args.arch, args.host))
    with zipfile.ZipFile(args.out, "w") as archive:
        archive.writestr(entry(folder, when, 0o40755, zipfile.ZIP_STORED), b"")
        for name, data in files:
            archive.writestr(entry(folder + name, when, 0o100644), data, compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main())
