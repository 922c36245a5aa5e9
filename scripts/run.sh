#!/usr/bin/env bash
# Noxel's main job: builds both programs, draws the demo film's images (8-bit
# grey BMPs, 480x360, 30 frames per second), encodes them with NoxelTool
# under Wine and reports the film it made.
#
#   bash scripts/run.sh            the 30-second demo film, build/demo/Veilwick.nxl
#   NOXEL_DEMO_SECONDS=5 bash scripts/run.sh     a shorter one
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}
seconds=${NOXEL_DEMO_SECONDS:-30}
stem=Veilwick

bash "$root/scripts/build.sh"

demo=$build/demo
film=$demo/$stem.nxl
rm -rf "$demo/frames"
mkdir -p "$demo/frames"
"$build/host/bin/noxel_demo" --out "$demo/frames" --stem "$stem" --seconds "$seconds"

source "$root/scripts/wine-session.sh"
start_wine_session "$build"
echo "encoding with NoxelTool (console output in $demo/NoxelTool.log)"
status=0
(cd "$demo" && wine "$build/bin/NoxelTool.exe" frames "$stem" >NoxelTool.log 2>&1 </dev/null) || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 5 "$demo/NoxelTool.log" >&2
  echo "NoxelTool failed with exit code $status" >&2
  exit 1
fi

field() { od -An -t"$1"4 -j"$2" -N4 "$film" | tr -d ' '; }
if [ "$(head -c 4 "$film")" != "NoXl" ]; then
  echo "$film is not a Noxel film" >&2
  exit 1
fi
echo "film: $film"
echo "  $(stat -c %s "$film") bytes, $(field u 4) frames of $(field d 8)x$(field d 12)" \
     "($(du -sb "$demo/frames" | cut -f1) bytes of BMP images)"
