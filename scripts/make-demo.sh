#!/usr/bin/env bash
# Makes the demo film and its music from the built programs: draws the
# images (8-bit grey BMPs, 480x360, 30 frames per second) and synthesises a
# WAV exactly as long, then encodes the images with NoxelTool under Wine.
# Leaves build/demo/Veilwick.nxl and build/demo/Veilwick.wav, and reports
# them. Does nothing but report when both are newer than the programs that
# make them and were made for the same length.
#
#   bash scripts/make-demo.sh                      the 30-second demo film
#   NOXEL_DEMO_SECONDS=5 bash scripts/make-demo.sh    a shorter one
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}
seconds=${NOXEL_DEMO_SECONDS:-30}
stem=Veilwick

demo=$build/demo
film=$demo/$stem.nxl
wav=$demo/$stem.wav
stamp=$demo/seconds
generator=$build/host/bin/noxel_demo
source "$root/scripts/wine-arch.sh"
tool=$(noxel_run_build "$build")/bin/NoxelTool.exe

up_to_date() {
  local made
  for made in "$film" "$wav"; do
    [ -f "$made" ] && [ "$made" -nt "$generator" ] && [ "$made" -nt "$tool" ] || return 1
  done
  [ "$(cat "$stamp" 2>/dev/null)" = "$seconds" ]
}

make_demo() {
  rm -rf "$demo/frames" "$stamp"
  mkdir -p "$demo/frames"
  "$generator" --out "$demo/frames" --stem "$stem" --seconds "$seconds" --wav "$wav"

  [ -n "${WINEPREFIX:-}" ] || { source "$root/scripts/wine-session.sh"; start_wine_session "$build"; }
  echo "encoding with NoxelTool (console output in $demo/NoxelTool.log)"
  local status=0
  (cd "$demo" && wine "$tool" frames "$stem" >NoxelTool.log 2>&1 </dev/null) || status=$?
  # NoxelTool ends with code 0 after most errors: the film's header tells.
  local images
  images=$(find "$demo/frames" -name "$stem*.bmp" | wc -l)
  if [ "$status" -ne 0 ] || [ "$(head -c 4 "$film" 2>/dev/null)" != "NoXl" ] || [ "$(field u 4)" != "$images" ]; then
    tail -n 5 "$demo/NoxelTool.log" >&2
    echo "NoxelTool did not make the film (exit code $status)" >&2
    exit 1
  fi
  echo "$seconds" >"$stamp"
}

field() { od -An -t"$1"4 -j"$2" -N4 "$film" | tr -d ' '; }

up_to_date || make_demo
frames=$(field u 4)
echo "film: $film"
echo "  $(stat -c %s "$film") bytes, $frames frames of $(field d 8)x$(field d 12)," \
     "$(awk "BEGIN { printf \"%.1f\", $frames / 30 }") s at 30 frames per second" \
     "($(du -sb "$demo/frames" | cut -f1) bytes of BMP images)"
echo "music: $wav"
echo "  $(stat -c %s "$wav") bytes, 16-bit PCM, $(od -An -tu2 -j22 -N2 "$wav" | tr -d ' ') channels," \
     "$(od -An -tu4 -j24 -N4 "$wav" | tr -d ' ') samples per second," \
     "$(awk "BEGIN { printf \"%.1f\", $(od -An -tu4 -j40 -N4 "$wav") / $(od -An -tu4 -j28 -N4 "$wav") }") s"
