#!/usr/bin/env bash
# Builds the portable code for the host and runs the RLE8 encoder benchmark:
# MB/s of pixel bytes on silhouette frames and on noise, beside memcpy of
# the same buffer in the same run (medians of five repetitions, CPU time).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build/host" -G Ninja -Wno-dev \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build/host" --target rle8_benchmark >/dev/null

out=$build/host/rle8_benchmark.json
"$build/host/bin/rle8_benchmark" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$out" --benchmark_out_format=json >/dev/null 2>"$out.log"
grep -E "^Run on|^Load Average" "$out.log" || true
python3 - "$out" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
rate = {}
for run in runs:
    if run.get("aggregate_name") != "median":
        continue
    name = run["run_name"].split("/")[0].replace("BM_", "")
    rate[(run["label"], name)] = run["bytes_per_second"] / 1e6
labels = sorted({label for label, _ in rate}, key=lambda l: ("noise" in l, len(l), l))
print(f"{'frame':<22}{'Rle8Encoder':>14}{'EncodeRle8*':>14}{'memcpy':>12}{'encoder/memcpy':>17}")
for label in labels:
    enc, whole, copy = (rate[(label, n)] for n in ("Encoder", "EncodeRle8WithRestore", "Memcpy"))
    print(f"{label:<22}{enc:>9.0f} MB/s{whole:>9.0f} MB/s{copy:>7.0f} MB/s{100 * enc / copy:>16.0f}%")
print("MB = 10^6 bytes of pixels. *EncodeRle8 in place, each round after a memcpy that restores the frame.")
PY
