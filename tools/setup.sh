#!/usr/bin/env bash
# Installs what building and testing Cantivo needs on Debian; does nothing when all is there.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
  wine64 wine xvfb xdotool x11-utils imagemagick fonts-ipafont-gothic
  python3-xlib python3-pil python3-pytest python3-pyflakes util-linux iproute2 locales time cppcheck clang-tidy
  nginx squid
)
# nginx and squid serve the end-to-end tests as processes of the test run's own, in a network
# namespace of their own: a system service the packages may start (ports 80 and 3128) is not in
# their way, and they are not in its.

# The 32-bit exe runs on Wine's 32-bit half, which needs a kernel that runs i386 programs: some
# machines' kernels refuse them all, though dpkg installs i386 packages there without a word.
# So the machine is asked, by running a 96-byte i386 program that only exits with status 42.
mkdir -p build
i386_check=build/i386-check
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00'\
'\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$i386_check"
chmod +x "$i386_check"
i386_status=0
"$i386_check" 2>/dev/null || i386_status=$?
if [ "$i386_status" -eq 42 ]; then
  echo "this machine runs 32-bit (i386) programs: the 32-bit exe is tested on Wine's 32-bit half"
  packages+=(wine32:i386)
else
  why="status $i386_status"
  [ "$i386_status" -ne 126 ] || why="Exec format error"
  echo "this machine runs no 32-bit (i386) programs ($why): the 32-bit exe is built and checked here, not run"
fi

echo "checking the packages"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0

log=build/setup.log
echo "installing ${#missing[@]} packages with apt-get (first time only, about a minute; log: $log)"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
# Never a silent wait: another apt-get holding dpkg's lock is waited for two minutes at most.
apt=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive timeout 1200 apt-get -o DPkg::Lock::Timeout=120)
if ! { "${apt[@]}" update -q && "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
  tail -n 20 "$log" >&2
  echo "setup: apt-get could not install ${missing[*]}; the whole log is in $log" >&2
  exit 1
fi
