#!/usr/bin/env bash
# Installs the Debian packages that building and testing Noxel need:
# the MinGW-w64 cross compilers, 32-bit Wine, Xvfb and the tools the tests use.
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(
  g++-mingw-w64-i686 mingw-w64-i686-dev wine wine32:i386 wine64
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libgl1-mesa-dri libglx-mesa0
  xvfb xauth x11-utils xdotool imagemagick
  libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386 libasound2-plugins:i386
  fonts-ipafont-gothic
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
  ffmpeg sox zip python3 locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
