#!/usr/bin/env bash
# Builds Cantivo and starts it under Wine (build/win64/app/cantivo.exe).
#   tools/start.sh          the real station
#   tools/start.sh --demo   a loopback stand-in for the station with a sample page; with no
#                           display, also one Get through the tray and a screenshot of the balloon
# Ctrl-C ends the program and everything this started.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
mkdir -p build
log=build/start-build.log
echo "building cantivo.exe, 64-bit (the first time about a minute; log: $log)"
if ! { cmake --preset win64 && cmake --build --preset win64 --target cantivo cantivo_probe; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "start: the build failed; the whole log is in $log" >&2
    exit 1
fi
exec /usr/bin/python3 tools/run_cantivo.py --build-dir build/win64 "$@"
