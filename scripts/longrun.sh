#!/usr/bin/env bash
# The long run: noxel.scr /s for N minutes (default 10) with a three-second
# film whose every frame changes, looping with its music, under each engine
# at once, each on its own Xvfb display and Wine prefix, sampled from
# outside every 30 s. Prints each engine's table
# and whether anything grew; fails if something did.
#   scripts/longrun.sh [minutes] [engines: any of 0 1 2]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}
minutes=${1:-10}
shift || true
engines=("$@")
[ ${#engines[@]} -gt 0 ] || engines=(0 1 2)
names=(GDI GDI+ Direct2D)

mkdir -p "$build/longrun"
source "$root/scripts/wine-arch.sh"
run_build=$(noxel_run_build "$build")
if ! { bash "$root/scripts/build.sh" --windows-only && cmake --build "$run_build" --target noxel_longrun; } \
     >"$build/longrun/build.log" 2>&1; then
  tail -20 "$build/longrun/build.log"
  exit 1
fi

pids=()
for e in "${engines[@]}"; do
  session=$build/longrun/engine$e
  mkdir -p "$session"
  (
    source "$root/scripts/wine-session.sh"
    NOXEL_SCREEN=${NOXEL_SCREEN:-1024x768x24} start_wine_session "$session"
    NOXEL_BIN=$run_build/bin wine "$run_build/bin/noxel_longrun.exe" "$minutes" "$e" </dev/null
  ) >"$session/run.log" 2>"$session/wine.log" &
  pids+=($!)
  sleep 3  # each session takes the next free display
done

status=0
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || status=1
  e=${engines[$i]}
  echo "== ${names[$e]}"
  tr -d '\r' <"$build/longrun/engine$e/run.log"
done
exit $status
