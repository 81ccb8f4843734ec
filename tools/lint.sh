#!/usr/bin/env bash
# Static checks of Cantivo's own code, with the checks chosen in .clang-tidy:
#   clang-tidy over the native build (the portable core, its unit tests, benchmarks and fuzz
#   targets) and over the sources only the Windows build has (the Win32 layer, the program,
#   its Win32 tests and the end-to-end probe), parsed as mingw-w64 x86_64 code;
#   cppcheck over the program's sources as built natively and for 64-bit Windows;
#   pyflakes over the Python of the harness, the tests and the tools.
# Only compile commands are generated (build/lint-*); nothing is built. Exits non-zero on any
# finding. LINT_JOBS=N runs N checkers at a time (default: one per CPU).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${LINT_JOBS:-$(nproc)}

bash tools/setup.sh

# The presets (CMakePresets.json) write compile commands into build/PRESET.
cmake --preset lint-native >/dev/null
# The fuzz targets replace the tests in a build of their own.
cmake --preset lint-fuzz >/dev/null
cmake --preset lint-win64 >/dev/null

db_files() {  # the project's .cpp files in a build's compile commands, relative to the root
    local file
    sed -n 's/^ *"file": *"\(.*\)",\{0,1\}$/\1/p' "$root/build/$1/compile_commands.json" | while read -r file; do
        case $file in
            "$root"/build/*) ;;  # generated, such as the layer checks' one-line sources
            "$root"/*.cpp) echo "${file#"$root"/}" ;;
        esac
    done
}

status=0
run() {  # a step that may fail without stopping the others: its title, then the command
    echo "== $1"
    shift
    "$@" || status=1
}

tidy() {  # build folder, extra clang-tidy arguments, --, files
    local build=$1
    shift
    local extra=()
    while [ "$1" != -- ]; do
        extra+=("$1")
        shift
    done
    shift
    if [ $# -eq 0 ]; then
        echo "no files to check in build/$build" >&2
        return 1
    fi
    local patterns=()
    local file
    # run-clang-tidy (from the clang-tidy package) takes regular expressions for files.
    for file in "$@"; do patterns+=("^$(sed 's/[][\.*^$+?(){}|]/\\&/g' <<<"$root/$file")\$"); done
    # Without its forced colours, the command line it prints for each file and the count of
    # system-header warnings.
    run-clang-tidy -quiet -j "$jobs" -p "$root/build/$build" "${extra[@]/#/-extra-arg=}" "${patterns[@]}" 2>&1 \
        | sed -E $'s/\x1b\\[[0-9;]*m//g' | { grep -v -E '^(clang-tidy|[0-9]+ warnings? generated\.$)' || true; }
    return "${PIPESTATUS[0]}"
}

mapfile -t core < <(db_files lint-native)
mapfile -t fuzz < <(db_files lint-fuzz | grep '^tests/fuzz/')
# What only the Windows build compiles; the portable core is already covered natively.
mapfile -t win32 < <(db_files lint-win64 | grep -v -x -F -f <(db_files lint-native))

# clang parses the Windows sources with the cross-compiler's own headers, never the host's.
mingw=x86_64-w64-mingw32
mingw_args=("--target=$mingw" -nostdinc++ -nostdlibinc)
while read -r dir; do
    dir=$(realpath -m "$dir")
    case $dir in
        # GCC's builtin headers (stddef.h, intrinsics): clang brings its own.
        */gcc/$mingw/*/include | */gcc/$mingw/*/include-fixed) ;;
        *) mingw_args+=("-isystem$dir") ;;
    esac
done < <($mingw-g++-posix -E -v -x c++ /dev/null 2>&1 \
    | sed -n '/^#include <...> search starts here:$/,/^End of search list\.$/{/^ /s/^ //p}')

run "clang-tidy: portable core, unit tests, benchmarks" tidy lint-native -- "${core[@]}"
run "clang-tidy: fuzz targets" tidy lint-fuzz -- "${fuzz[@]}"
run "clang-tidy: Win32 sources" tidy lint-win64 "${mingw_args[@]}" -- "${win32[@]}"

cppcheck_args=("--enable=warning,performance,portability" --error-exitcode=1 --inline-suppr --std=c++20
    --suppress=missingIncludeSystem --quiet -j "$jobs")
for dir in app ui os onair balloon songlog base; do cppcheck_args+=("--file-filter=$dir/*"); done
run "cppcheck: native" cppcheck "${cppcheck_args[@]}" --project=build/lint-native/compile_commands.json \
    --platform=unix64 --library=posix
# The compiler's own macros, which the compile commands leave out.
run "cppcheck: 64-bit Windows" cppcheck "${cppcheck_args[@]}" --project=build/lint-win64/compile_commands.json \
    --platform=win64 --library=windows -D_WIN32 -D_WIN64
run "pyflakes: harness, tests and tools" /usr/bin/python3 -m pyflakes $(git ls-files '*.py')

exit $status
