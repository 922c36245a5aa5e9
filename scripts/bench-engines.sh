#!/usr/bin/env bash
# Times a playback tick of each rendering engine under Wine on a private
# 1920x1080 Xvfb display, beside a bare StretchDIBits of the same frames,
# with the milliseconds of each call of the tick, and each engine again
# drawing every tick whole: the demo film (which changes little from frame
# to frame), a film whose every pixel changes every frame, and a film of a
# few hundred dots that all move every frame.
# Usage: scripts/bench-engines.sh [ticks per engine] [engines whose name starts so]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}
export NOXEL_BUILD_DIR=$build

bash "$root/scripts/build.sh" >/dev/null
bash "$root/scripts/make-demo.sh" >/dev/null
source "$root/scripts/wine-session.sh"
start_wine_session "$build"
wine "$NOXEL_RUN_BUILD/bin/engine_bench.exe" "${1:-300}" "$build/demo/Veilwick.nxl" "${2:-}"
