#!/usr/bin/env bash
# Runs the fuzz targets for as long as asked and prints what each tried:
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
# Targets: film wav bmp rle8 framediff (the changed-region finder). New inputs collect in <build>/host/fuzz/corpus,
# so later runs go on from there; a crashing input lands in
# <build>/host/fuzz/crashes and the script fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(film wav bmp rle8 framediff)

if [ ! -f "$build/host/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build/host" -G Ninja -Wno-dev \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build/host" --target "${targets[@]/%/_fuzz}"

fuzz=$build/host/fuzz
mkdir -p "$fuzz/crashes"
status=0
summary=()
for t in "${targets[@]}"; do
  mkdir -p "$fuzz/corpus/$t"
  log=$fuzz/$t.log
  echo "== $t: $seconds s"
  if "$build/host/bin/${t}_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
       -artifact_prefix="$fuzz/crashes/$t-" "$fuzz/corpus/$t" "$root/tests/fuzz/corpus/$t" >"$log" 2>&1; then
    result=ok
  else
    result="FAILED (see $log)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  corpus=$(ls "$fuzz/corpus/$t" | wc -l)
  summary+=("$(printf '%-6s %12s %8s %8s  %s' "$t" "${runs:-?}" "${cov:-?}" "$corpus" "$result")")
done
printf '%-6s %12s %8s %8s  %s\n' target inputs edges corpus result
printf '%s\n' "${summary[@]}"
exit $status
