#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests, the Windows build's tests
# under Wine, the end-to-end tests of the program under Wine, and the 32-bit Windows build
# (compiled and linked only). Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash tools/setup.sh

jobs=$(nproc)
configure() {  # folder, then cmake arguments
    local dir=$1
    shift
    cmake -S "$root" -B "$root/build/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$root/build/$dir" -j "$jobs"
}

status=0
run() {  # a step that may fail without stopping the others
    echo "== $*"
    "$@" || status=1
}

configure native
configure win64 -DCMAKE_TOOLCHAIN_FILE=tools/toolchain-mingw-x86_64.cmake -DCANTIVO_WINE_DIR="$root/build/wine"
configure win32 -DCMAKE_TOOLCHAIN_FILE=tools/toolchain-mingw-i686.cmake -DCANTIVO_WINE_DIR="$root/build/wine"

run ctest --test-dir build/native --output-on-failure -j "$jobs"
run ctest --test-dir build/win64 --output-on-failure
# End to end: build/win64's cantivo.exe under Wine on a private display, driven through the
# tray as a user would (tests/e2e, harness in tests/harness/desktop.py). Any non-zero status
# fails the run, pytest's 5 (no tests collected) included.
run /usr/bin/python3 -m pytest tests/e2e --build-dir build/win64 --wine-dir build/wine

exit $status
