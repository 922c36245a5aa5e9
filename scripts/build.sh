#!/usr/bin/env bash
# Installs what is missing, then builds both Windows programs (build/bin) and,
# unless --windows-only is given, the portable code for the host (build/host).
# On a machine whose kernel runs no i386 code the Windows programs and tests
# are also built for x64 (build/x64), the build that runs there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build"
source "$root/scripts/wine-arch.sh"
if ! noxel_runs_win32; then
  cmake -S "$root" -B "$build/x64" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/x64"
fi
if [ "${1:-}" != "--windows-only" ]; then
  cmake -S "$root" -B "$build/host" -G Ninja -Wno-dev \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build/host"
fi
