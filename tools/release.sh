#!/usr/bin/env bash
# Makes the release a Windows user downloads, in dist/:
#   cantivo-VERSION-win64.zip, cantivo-VERSION-win32.zip
#       the optimised, stripped exe and the user's guides in English and Japanese
#   cantivo-VERSION-win64.exe.debug, cantivo-VERSION-win32.exe.debug
#       each exe's debug information, tied to it by a debug link, to resolve crash addresses
#   SHA256SUMS
#
#   tools/release.sh [--host HOST]     HOST: the station's host (default: the build's own)
#
# The same commit gives byte-identical files wherever and whenever it is built. The zips'
# times are the last commit's, or SOURCE_DATE_EPOCH's when that is set.
set -euo pipefail
cd "$(dirname "$0")/.."

host_setting=(-UCANTIVO_STATION_HOST)  # the default in CMakeLists.txt
while [ $# -gt 0 ]; do
    case $1 in
        --host) [ $# -ge 2 ] || { echo "release: --host needs a host name" >&2; exit 2; }
                host_setting=(-DCANTIVO_STATION_HOST="$2"); shift 2 ;;
        *) echo "usage: tools/release.sh [--host HOST]" >&2; exit 2 ;;
    esac
done

bash tools/setup.sh
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
        { echo "release: not a git clone; set SOURCE_DATE_EPOCH to the sources' time" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

cache_value() {  # build folder, name
    sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}

rm -rf dist
mkdir -p dist build
for arch in win64 win32; do
    case $arch in
        win64) cpu=x86_64 ;;
        win32) cpu=i686 ;;
    esac
    preset=release-$arch  # CMakePresets.json; its build is build/$preset
    dir=build/$preset
    log=build/release-$arch.log
    echo "building the $arch release (log: $log)"
    if ! { cmake --preset "$preset" "${host_setting[@]}" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
        tail -n 30 "$log" >&2
        echo "release: the $arch build failed; the whole log is in $log" >&2
        exit 1
    fi
    version=$(cache_value "$dir" CMAKE_PROJECT_VERSION)
    host=$(cache_value "$dir" CANTIVO_STATION_HOST)
    name=cantivo-$version-$arch
    objcopy=$cpu-w64-mingw32-objcopy
    # objcopy writes a new PE header with SOURCE_DATE_EPOCH (else the present) as its time
    # stamp; 0 keeps the linker's "no time stamp". The link stores the debug file's name and
    # checksum in the exe.
    SOURCE_DATE_EPOCH=0 $objcopy --only-keep-debug "$dir/app/cantivo.exe" "dist/$name.exe.debug"
    SOURCE_DATE_EPOCH=0 $objcopy --strip-all --add-gnu-debuglink="dist/$name.exe.debug" \
        "$dir/app/cantivo.exe" "$dir/$name.exe"
    /usr/bin/python3 tools/package_release.py --exe "$dir/$name.exe" --arch "$arch" --version "$version" \
        --host "$host" --out "dist/$name.zip"
    echo "  dist/$name.zip ($(stat -c %s "dist/$name.zip") bytes; the exe $(stat -c %s "$dir/$name.exe") bytes) for $host"
done
(cd dist && sha256sum -- *.zip >SHA256SUMS)
echo "dist/SHA256SUMS:"
sed 's/^/  /' dist/SHA256SUMS
