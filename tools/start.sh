#!/usr/bin/env bash
# Builds cantivo.exe (64-bit) into build/win64/app/cantivo.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build/win64 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=tools/toolchain-mingw-x86_64.cmake -DCANTIVO_WINE_DIR="$PWD/build/wine" >/dev/null
cmake --build build/win64 --target cantivo
echo "built build/win64/app/cantivo.exe"
