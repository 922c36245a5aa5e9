#!/usr/bin/env bash
# Measures the screen saver under Wine on a private 1920x1080 Xvfb display:
# for each engine the redraws per second and the CPU time per second of film
# over ten seconds of full-screen play, then the peak memory of noxel.scr with
# a 30-frame and a 30,000-frame film of the same picture size (480x360).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}

bash "$root/scripts/build.sh" --windows-only >/dev/null
export NOXEL_SCREEN=1920x1080x24
source "$root/scripts/wine-session.sh"
start_wine_session "$build"
export NOXEL_BIN="$NOXEL_RUN_BUILD/bin"
bench="$NOXEL_RUN_BUILD/bin/saver_bench.exe"
hz=$(getconf CLK_TCK)

# The host process of this session's noxel.scr (other sessions may run one too).
find_saver() {
  local p
  for p in $(pgrep -f 'noxel\.scr' || true); do
    if { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "DISPLAY=$DISPLAY"; then echo "$p"; return; fi
  done
}

# CPU seconds (user + system) used so far by a host process.
cpu_of() { awk -v hz="$hz" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }

echo "Player and host code in the bench process (redraws are the overlay's fps;"
echo "the 16 ms timer allows about 62):"
for engine in 0 1 2; do wine "$bench" ticks $engine; done

echo
echo "noxel.scr /s, CPU per second of film over 10 s (the X server's share apart):"
out=$(mktemp)
for engine in 0 1 2; do
  wine "$bench" process $engine >"$out" &
  runner=$!
  until grep -q '^measure' "$out" || ! kill -0 $runner 2>/dev/null; do sleep 0.05; done
  saver=$(find_saver)
  if [ -z "$saver" ]; then echo "engine $engine: noxel.scr not found"; wait $runner || true; continue; fi
  name=$(sed -n 's/^measure //p' "$out")
  s0=$(cpu_of "$saver"); x0=$(cpu_of "$_noxel_xvfb_pid"); t0=$(date +%s.%N)
  until grep -q '^end' "$out"; do sleep 0.05; done
  s1=$(cpu_of "$saver"); x1=$(cpu_of "$_noxel_xvfb_pid"); t1=$(date +%s.%N)
  awk -v n="$name" -v s0="$s0" -v s1="$s1" -v x0="$x0" -v x1="$x1" -v t0="$t0" -v t1="$t1" 'BEGIN {
    d = t1 - t0; printf "%-9s %5.0f ms CPU per s of film, X server %4.0f ms per s (%.1f s)\n",
    n, 1000 * (s1 - s0) / d, 1000 * (x1 - x0) / d, d }'
  wait $runner || true
done
rm -f "$out"

echo
wine "$bench" memory
echo "(load while measuring: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs)"
