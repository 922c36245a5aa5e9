#!/usr/bin/env bash
# The video script end to end. ffmpeg makes a short video with sound and a
# folder of pictures; the script turns them into films; film_report reads
# them back with the screen saver's own checks; noxel.scr plays one, with
# its music, on a display scaled to 150%. Then the failures: a missing
# input, an unreadable one, a folder without pictures and an interrupted run
# each end non-zero and leave nothing behind.
#
#   video2nxl_test.sh FILM_INSPECT WINDOWS_BIN   (inside scripts/test.sh's Wine session)
set -uo pipefail
inspect=$1
bin=${NOXEL_RUN_BUILD:+$NOXEL_RUN_BUILD/bin}
bin=${bin:-$2}
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ] || [ ! -f "$bin/noxel.scr" ]; then
  echo "skipped: needs the Windows build and the Wine session of scripts/test.sh"
  exit 77
fi
source "$root/scripts/saver.sh"

work=$(mktemp -d)
failures=0
expect() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
contains() { grep -q -- "$2" <<<"$1"; }
empty_folder() { [ -z "$(ls -A "$1")" ]; }
convert_video() { python3 "$root/scripts/video2nxl.py" --tool "$bin/NoxelTool.exe" "$@"; }

# The screen saver's settings and the display's scale are put back at the end.
saved_settings=$work/settings.reg
wine reg export 'HKCU\Software\Cobaltwing\Noxel' "$(windows_path "$saved_settings")" /y >/dev/null 2>&1 </dev/null ||
  saved_settings=
restore() {
  wine reg delete 'HKCU\Software\Cobaltwing\Noxel' /f >/dev/null 2>&1 </dev/null
  [ -n "$saved_settings" ] && wine reg import "$(windows_path "$saved_settings")" >/dev/null 2>&1 </dev/null
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1 </dev/null
  rm -rf "$work"
}
trap restore EXIT

cd "$work" || exit 1
mkdir out pictures fail
# 16:9 at 25 frames per second, made into a 4:3 film at 30: bands above and
# below, frames resampled.
ffmpeg -v error -f lavfi -i testsrc=size=320x180:rate=25:duration=2 -f lavfi -i sine=frequency=440:duration=2 \
  -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest clip.mp4
ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=30 -frames:v 12 pictures/p%d.png

echo "--- a video with sound"
output=$(convert_video --size 160x120 clip.mp4 out/Clip 2>&1)
expect "the script succeeds" test $? -eq 0
report=$("$inspect" out/Clip.nxl out/Clip.wav)
expect "film_report accepts film and WAV" test $? -eq 0
echo "$report"
expect "60 frames of 160x120, in grey" contains "$report" "frames=60 width=160 height=120"
expect "grey levels kept" test "$(sed -n 's/.*levels=\([0-9]*\).*/\1/p' <<<"$report")" -gt 2
expect "WAV: PCM, 2 channels, 44100/s, 16 bits, data right after a 16-byte format chunk" \
  contains "$report" "format=1 channels=2 rate=44100 bits=16 offset=44"
bytes=$(sed -n 's/.*bytes=\([0-9]*\).*/\1/p' <<<"$report")
expect "sound no longer than the film (2 s: 352800 bytes), got $bytes" test "$bytes" -gt 300000 -a "$bytes" -le 352800
expect "only the film and its WAV are left" test "$(ls -A out | tr '\n' ' ')" = "Clip.nxl Clip.wav "
expect "the script says what it made" contains "$output" "Clip.nxl: 60 frames of 160x120"

echo "--- a folder of pictures, in black and white"
report=$(convert_video --size 64x48 --threshold 100 pictures out/Still 2>&1 >/dev/null && "$inspect" out/Still.nxl)
echo "$report"
expect "one frame per picture, pure black and white" contains "$report" "frames=12 width=64 height=48 levels=2"
expect "no WAV without sound" test ! -e out/Still.wav

echo "--- noxel.scr plays the film with its music on a display scaled to 150%"
convert -size 64x64 xc:'rgb(40,80,160)' BMP3:back.bmp
saver_settings "NoxelFilePath=$(windows_path out/Clip.nxl)" "WavFilePath=$(windows_path out/Clip.wav)" "BGM=1" \
  "BackGroundImageFilePath=$(windows_path back.bmp)" "Engine=0" "Param1=0" "Param2=2" "DisplayFrameRate=0"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 </dev/null
: >"$NOXEL_AUDIO_FILE"
shot=$NOXEL_SCREENSHOTS/video2nxl-play.png
expect "noxel.scr plays until a key ends it, exit code 0" saver_run_for "$bin/noxel.scr" 3 "$shot"
read -r width height < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')
# The film's black bands leave the background: blue in the last corner
# means the window covers every pixel of the scaled screen.
corner=$(convert "$shot" -format "%[pixel:p{$((width - 2)),$((height - 2))}]" info:)
expect "the film covers the whole screen (corner: $corner)" test "$corner" = "srgb(40,80,160)"
colours=$(convert "$shot" -format %k info:)
expect "the screen shows the film ($colours colours)" test "$colours" -gt 8
expect "the music played" test -s "$NOXEL_AUDIO_FILE"

echo "--- failures"
output=$(convert_video missing.mp4 fail/Missing 2>&1)
expect "a missing input fails" test $? -ne 0
expect "... saying so: $output" contains "$output" "does not exist"
head -c 5000 /dev/urandom >junk.mp4
output=$(convert_video junk.mp4 fail/Junk 2>&1)
expect "an unreadable input fails" test $? -ne 0
expect "... saying so: $output" contains "$output" "cannot read"
output=$(convert_video fail fail/Nothing 2>&1)
expect "a folder without pictures fails: $output" test $? -ne 0
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=30:duration=60 long.mp4
python3 "$root/scripts/video2nxl.py" --tool "$bin/NoxelTool.exe" --size 160x120 long.mp4 fail/Long >/dev/null 2>&1 &
pid=$!
# Stopped while it writes the pictures, once some are there.
for i in $(seq 1 100); do
  [ "$(find fail -name '*.bmp' 2>/dev/null | wc -l)" -ge 20 ] && break
  sleep 0.1
done
kill -TERM "$pid"
wait "$pid"
expect "an interrupted run fails" test $? -ne 0
expect "and nothing is left behind: $(ls -A fail)" empty_folder fail

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
