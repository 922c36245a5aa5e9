#!/usr/bin/env bash
# Measures the screen saver under Wine on a private 1920x1080 Xvfb display:
# for each engine the redraws per second and the CPU time per second of film
# over ten seconds of full-screen play, then the peak memory of noxel.scr with
# a 30-frame and a 30,000-frame film of the same picture size (480x360).
# The CPU of noxel.scr (overlay off) and of the X server is set beside that of
# bare_player, which shows each new frame with one StretchDIBits, for the demo
# film, a film whose every pixel changes each frame and one in which only a
# small square moves (what each engine costs a frame, whatever it draws). With
# NOXEL_BEFORE_BIN set to another build's program folder, that build's
# noxel.scr is measured in the same run too. Last, each engine's CPU with the
# display on and then off, as the system reports it to the saver's window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}

bash "$root/scripts/build.sh" --windows-only >/dev/null
bash "$root/scripts/make-demo.sh" >/dev/null
demo_film=$build/demo/Veilwick.nxl
export NOXEL_SCREEN=1920x1080x24
source "$root/scripts/wine-session.sh"
start_wine_session "$build"
export NOXEL_BIN="$NOXEL_RUN_BUILD/bin"
bench="$NOXEL_RUN_BUILD/bin/saver_bench.exe"
hz=$(getconf CLK_TCK)

# The host process of this session's noxel.scr, or of the program named by
# the pattern (other sessions may run one too).
find_saver() {
  local p
  for p in $(pgrep -f "${1:-noxel\.scr}" || true); do
    if { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "DISPLAY=$DISPLAY"; then echo "$p"; return; fi
  done
}

# CPU seconds (user + system) used so far by a host process.
cpu_of() { awk -v hz="$hz" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }

echo "Player and host code in the bench process (redraws are the overlay's fps;"
echo "the 16 ms timer allows about 62):"
for engine in 0 1 2; do wine "$bench" ticks $engine; done

# measure <label> <pattern> <bench arguments...>: runs the bench in that mode,
# reads the CPU of the process the pattern finds and of the X server over
# each marked stretch ("measure <what>" ... "end"), prints a line per stretch
# and leaves the last one's sum (ms per s) in $total.
out=$(mktemp)
measure() {
  local label=$1 pattern=$2; shift 2
  total=
  wine "$bench" "$@" >"$out" &
  local runner=$!
  local stretch=1 saver= name=$label
  while :; do
    until [ "$(grep -c '^measure' "$out")" -ge $stretch ] || ! kill -0 $runner 2>/dev/null; do sleep 0.05; done
    [ "$(grep -c '^measure' "$out")" -ge $stretch ] || break
    [ -n "$saver" ] || saver=$(find_saver "$pattern")
    if [ -z "$saver" ]; then echo "$label: process not found"; break; fi
    # The bench names a stretch when it marks more than one: "measure display off".
    if grep -q '^measure display' "$out"; then
      name="$label, $(grep '^measure' "$out" | sed -n "${stretch}p" | cut -d' ' -f2-)"
    fi
    measure_stretch "$name" "$saver" $stretch
    stretch=$((stretch + 1))
  done
  wait $runner || true
}

# measure_stretch <label> <pid> <n>: the CPU until the n-th "end" mark.
measure_stretch() {
  local label=$1 saver=$2 n=$3
  local s0 x0 t0 s1 x1 t1
  s0=$(cpu_of "$saver"); x0=$(cpu_of "$_noxel_xvfb_pid"); t0=$(date +%s.%N)
  until [ "$(grep -c '^end' "$out")" -ge "$n" ] || ! kill -0 "$runner" 2>/dev/null; do sleep 0.05; done
  if [ ! -r "/proc/$saver/stat" ]; then echo "$label: the process ended before the mark"; return; fi
  s1=$(cpu_of "$saver"); x1=$(cpu_of "$_noxel_xvfb_pid"); t1=$(date +%s.%N)
  total=$(awk -v s0="$s0" -v s1="$s1" -v x0="$x0" -v x1="$x1" -v t0="$t0" -v t1="$t1" \
    'BEGIN { printf "%.0f", 1000 * ((s1 - s0) + (x1 - x0)) / (t1 - t0) }')
  awk -v n="$label" -v s0="$s0" -v s1="$s1" -v x0="$x0" -v x1="$x1" -v t0="$t0" -v t1="$t1" -v bare="${bare_total:-}" 'BEGIN {
    d = t1 - t0; sum = 1000 * ((s1 - s0) + (x1 - x0)) / d
    printf "%-22s %5.0f ms CPU per s of film, X server %4.0f, together %5.0f", n, 1000 * (s1 - s0) / d, 1000 * (x1 - x0) / d, sum
    if (bare != "" && bare > 0) printf "  = %.2f x bare", sum / bare
    printf "  (%.1f s)\n", d }'
}

echo
echo "CPU per second of film over 10 s, noxel.scr /s with the overlay off beside bare_player:"
names=(GDI GDI+ Direct2D)
for film in demo changing dot; do
  film_arg=$film
  [ "$film" = demo ] && film_arg=$demo_film
  echo "film: $film"
  bare_total=
  measure "bare player" 'bare_player\.exe' bare "$film_arg"
  bare_total=$total
  for engine in 0 1 2; do
    measure "${names[$engine]}" 'noxel\.scr' process $engine "$film_arg"
    if [ -n "${NOXEL_BEFORE_BIN:-}" ]; then
      NOXEL_BIN=$NOXEL_BEFORE_BIN measure "${names[$engine]} before" 'noxel\.scr' process $engine "$film_arg"
    fi
  done
done

echo
echo "CPU per second with the display on, then off (the system's broadcast sent to"
echo "the saver's window; player and host code in the bench process, demo film):"
for engine in 0 1 2; do
  measure "${names[$engine]}" 'saver_bench\.exe' display $engine "$demo_film"
done
rm -f "$out"

echo
wine "$bench" memory
echo "(load while measuring: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs)"
