#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests, the Windows build's tests
# under Wine, the release (tools/release.sh) and its checks, and the end-to-end tests of both
# release exes under Wine, and a short soak of the 64-bit one. Exits non-zero when anything fails.
# Where Wine's 32-bit half cannot run (some machines' kernels run no i386 programs), the 32-bit
# exe's end-to-end run is not run, and the summary at the end says so and why.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash tools/setup.sh

jobs=$(nproc)
configure() {  # a preset of CMakePresets.json, built in build/PRESET
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j "$jobs"
}

status=0
summary=()
run() {  # a step, named by its first argument, that may fail without stopping the others
    local name=$1
    shift
    echo "== $name: $*"
    if "$@"; then
        summary+=("passed   $name")
    else
        summary+=("FAILED   $name")
        status=1
    fi
}
not_run() {  # a step this machine cannot run, and why
    echo "== $1: NOT RUN: $2"
    summary+=("NOT RUN  $1: $2")
}

configure native
configure win64
configure win32
# The portable core and its unit tests again, under AddressSanitizer and UndefinedBehaviorSanitizer.
configure native-sanitize

# The release, as a Windows user downloads it: dist/ (both zips, debug files, SHA256SUMS).
run "release" bash tools/release.sh

run "native unit tests" ctest --preset native -j "$jobs"
# clang-tidy and cppcheck over the program's own code, portable and Win32.
run "lint" bash tools/lint.sh
# One test asks for more memory than there is and expects the program's error, not an abort:
# the preset lets the allocator return null (ASAN_OPTIONS=allocator_may_return_null=1).
run "sanitized unit tests" ctest --preset native-sanitize -j "$jobs"
# Each libFuzzer target briefly, from its seed corpus; long runs: tools/fuzz.sh 10000000.
run "fuzz targets" bash tools/fuzz.sh 30000
run "Win32 tests under Wine" ctest --preset win64
# What each zip holds, the exe's size, imports, version and debug link, and a second build of
# the release in another folder giving the very same bytes.
run "release checks" /usr/bin/python3 -m pytest tests/release -q

# The exes that ship, unpacked from their zips, are the ones the end-to-end tests drive.
unpack_release() {
    rm -rf build/release-unpacked
    for zip in dist/cantivo-*-win64.zip dist/cantivo-*-win32.zip; do
        /usr/bin/python3 -m zipfile -e "$zip" build/release-unpacked
    done
}
# End to end: the release exe under Wine on a private display, driven through the tray as a
# user would (tests/e2e, harness in tests/harness), and the README's start command run as a
# newcomer runs it. Any non-zero status fails the run, pytest's 5 (no tests collected) included.
run "release unpacked" unpack_release
run "end to end, 64-bit exe" /usr/bin/python3 -m pytest tests/e2e --build-dir build/win64 --wine-dir build/wine \
    --exe "$(echo build/release-unpacked/cantivo-*-win64/cantivo.exe)"
# The 32-bit release exe too, on Wine's 32-bit half, where it runs; the start command has had its run.
if wine32=$(/usr/bin/python3 tests/harness/wine32.py status); then
    run "end to end, 32-bit exe" /usr/bin/python3 -m pytest tests/e2e --build-dir build/win64 --wine-dir build/wine \
        --exe "$(echo build/release-unpacked/cantivo-*-win32/cantivo.exe)" --artifacts build/e2e-artifacts-win32 \
        --ignore tests/e2e/test_start_command.py
else
    not_run "end to end, 32-bit exe" "$wine32"
fi
# The configurations users have besides the default one (Japanese code page, 96 dpi, one screen
# without a taskbar), each in a Wine session set up for it (tests/harness/configs.py) and with
# the checks whose subject it changes: a Western code page, three resolutions, the taskbar at
# each edge, two monitors, a dark high-contrast theme. The 64-bit release exe; both builds
# share the code they check.
for config in western dpi-120 dpi-144 dpi-192 taskbar-bottom taskbar-top taskbar-left taskbar-right two-monitors \
    high-contrast; do
    run "end to end, $config" /usr/bin/python3 -m pytest tests/e2e --build-dir build/win64 --wine-dir build/wine \
        --exe "$(echo build/release-unpacked/cantivo-*-win64/cantivo.exe)" --config "$config" \
        --artifacts "build/e2e-artifacts-$config"
done
# The short soak: the 64-bit release exe through a few hundred cycles of Get and close, Get and
# Save, error boxes and "not connected." boxes, and nothing it holds grows from cycle to cycle
# (the full-length soak and its figures: tests/soak/soak.py).
run "short soak" /usr/bin/python3 -m pytest tests/soak --build-dir build/win64 --wine-dir build/wine \
    --exe "$(echo build/release-unpacked/cantivo-*-win64/cantivo.exe)"

echo "== summary"
printf '  %s\n' "${summary[@]}"
exit $status
