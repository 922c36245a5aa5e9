#!/usr/bin/env bash
# Makes the release archive build/dist/noxel-<version>.zip: the screen saver,
# NoxelTool, the demo film with its music, the video script and a short text
# for Windows users (CRLF line ends), all in one folder noxel-<version>/.
# The version is the CMake project's. Builds and makes the demo film first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}
export NOXEL_BUILD_DIR=$build

bash "$root/scripts/build.sh"
NOXEL_DEMO_SECONDS=30 bash "$root/scripts/make-demo.sh" >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
name=noxel-$version
mkdir -p "$build/dist"
stage=$(mktemp -d "$build/dist/.stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT

folder=$stage/$name
mkdir "$folder"
cp "$build/bin/noxel.scr" "$build/bin/NoxelTool.exe" "$build/demo/Veilwick.nxl" "$build/demo/Veilwick.wav" \
   "$root/scripts/video2nxl.py" "$folder/"
# UTF-8 with a byte-order mark, so that every Notepad shows the Japanese labels.
{ printf '\xEF\xBB\xBF'; sed -e "s/@VERSION@/$version/" -e 's/\r*$/\r/' "$root/docs/README-Windows.txt"; } \
  >"$folder/README-Windows.txt"
(cd "$stage" && zip -q -X -r "$name.zip" "$name")
mv "$stage/$name.zip" "$build/dist/$name.zip"

echo "archive: $build/dist/$name.zip ($(stat -c %s "$build/dist/$name.zip") bytes)"
python3 - "$build/dist/$name.zip" <<'PY'
import sys, zipfile
for info in zipfile.ZipFile(sys.argv[1]).infolist():
    print(f"  {info.file_size:>10}  {info.filename}")
PY
