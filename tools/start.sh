#!/usr/bin/env bash
# Builds Cantivo and starts it under Wine (build/win64/app/cantivo.exe).
#   tools/start.sh          the real station
#   tools/start.sh --demo   a loopback stand-in for the station with a sample page
# Ctrl-C ends the program and everything this started.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build/win64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=tools/toolchain-mingw-x86_64.cmake -DCANTIVO_WINE_DIR="$PWD/build/wine" >/dev/null
cmake --build build/win64 --target cantivo
exec /usr/bin/python3 tools/run_cantivo.py build/win64/app/cantivo.exe "$@"
