#!/usr/bin/env bash
# Times a playback tick of each rendering engine under Wine on a private
# 1920x1080 Xvfb display, beside a bare StretchDIBits of the same frames.
# Usage: scripts/bench-engines.sh [frames per round]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}

bash "$root/scripts/build.sh" --windows-only >/dev/null
source "$root/scripts/wine-session.sh"
start_wine_session "$build"
wine "$NOXEL_RUN_BUILD/bin/engine_bench.exe" "$@"
