#!/usr/bin/env bash
# Takes the pictures in docs/images from real runs of noxel.scr under Wine on
# Xvfb: the screen saver over a sunset (stretched, and kept at the film's
# proportions on a wide screen), its settings dialog with the preview
# playing on a Japanese and on an English system, and what each engine option
# does with one frame of the demo film over a striped background. Builds and
# makes the demo film first. The test programs' own pictures of every engine
# option and of the dialog (tests left out of the test command, as they check
# nothing but that a picture was written) go to build/docs-shots/tests.
#
#   bash scripts/docs-shots.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}
export NOXEL_BUILD_DIR=$build
out=$root/docs/images
work=$build/docs-shots
font=/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf
wait_seconds=${NOXEL_SHOT_SECONDS:-4}

bash "$root/scripts/build.sh" >/dev/null
NOXEL_DEMO_SECONDS=30 bash "$root/scripts/make-demo.sh" >/dev/null
rm -rf "$work"
mkdir -p "$work/still" "$out"

# One frame of the demo film, the walker mid-stride under his kite, as a
# film of its own: every picture of an option then shows the same moment.
cp "$build/demo/frames/Veilwick0000285.bmp" "$work/still/Still0000000.bmp"
convert -size 80x240 xc:'#d1495b' xc:'#edae49' xc:'#00798c' xc:'#30638e' +append BMP3:"$work/stripes.bmp"
convert -size 960x360 gradient:'#3d1e6d'-'#ef476f' -size 960x360 gradient:'#ef476f'-'#ffd166' -append \
  BMP3:"$work/sunset.bmp"

source "$root/scripts/wine-session.sh"
source "$root/scripts/saver.sh"
scr=$(noxel_run_build "$build")/bin/noxel.scr

shoot() {  # NAME SETTINGS...
  local name=$1
  shift
  saver_settings "BGM=0" "DisplayFrameRate=0" "$@"
  saver_run_for "$scr" "$wait_seconds" "$work/$name.png" || { echo "no picture for $name" >&2; exit 1; }
}

small_screen() {
  NOXEL_SCREEN=320x240x24
  start_wine_session "$build"
  (cd "$work" && wine "$NOXEL_RUN_BUILD/bin/NoxelTool.exe" still Still >NoxelTool.log 2>&1 </dev/null)
  saver_settings "NoxelFilePath=$(windows_path "$work/Still.nxl")" \
                 "BackGroundImageFilePath=$(windows_path "$work/stripes.bmp")"
  local white black mode colour
  for white in 0 1 2 3; do
    for black in 0 1 2 3; do shoot "gdi-$white-$black" Engine=0 Param1=$white Param2=$black; done
  done
  for colour in 0 1; do shoot "gdiplus-colour-$colour" Engine=1 Param1=0 Param2=$colour; done
  # Direct2D starts slowly on Wine's software OpenGL.
  for mode in 0 1 2; do wait_seconds=12 shoot "d2d-$mode" Engine=2 Param1=$mode Param2=0; done
}

large_screen() {
  NOXEL_SCREEN=960x720x24
  start_wine_session "$build"
  saver_settings "NoxelFilePath=$(windows_path "$work/Still.nxl")" \
                 "BackGroundImageFilePath=$(windows_path "$work/stripes.bmp")"
  local mode
  # GDI+ smoothing an enlarged film is slow on Wine: the first picture takes a while.
  for mode in 0 5 3 7; do wait_seconds=15 shoot "gdiplus-mode-$mode" Engine=1 Param1=$mode Param2=1; done

  # The screen saver as the README shows it, and its dialog: the files in a
  # Documents folder, as a Windows user would keep them.
  local user
  user=$(id -un)
  local documents=$WINEPREFIX/drive_c/users/$user/Documents/Noxel
  mkdir -p "$documents"
  cp "$build/demo/Veilwick.nxl" "$build/demo/Veilwick.wav" "$documents/"
  convert "$work/sunset.bmp" "$documents/Sunset.jpg"
  local folder="C:\\users\\$user\\Documents\\Noxel"
  saver_settings "NoxelFilePath=$folder\\Veilwick.nxl" "WavFilePath=$folder\\Veilwick.wav" \
                 "BackGroundImageFilePath=$folder\\Sunset.jpg"
  wait_seconds=12 shoot saver Engine=2 Param1=2 Param2=0
  shoot_dialog ja_JP 'ノクセルスクリーンセーバー設定' dialog
  # The prefix draws the dialog font with a Japanese face, whose backslash is
  # a yen sign; an English Windows draws a backslash (Tahoma is not installed
  # here: DejaVu Sans stands in).
  dialog_font "DejaVu Sans"
  shoot_dialog en_US 'Noxel Screen Saver Settings' dialog-en
  dialog_font "MS UI Gothic"
}

# A wide screen and a 4:3 film: kept proportions leave black on both sides.
wide_screen() {
  NOXEL_SCREEN=1280x720x24
  start_wine_session "$build"
  saver_settings "NoxelFilePath=$(windows_path "$build/demo/Veilwick.nxl")" \
                 "BackGroundImageFilePath=$(windows_path "$work/sunset.bmp")"
  shoot saver-kept Engine=0 Param1=0 Param2=2 KeepAspect=1 Layout=0
  saver_settings KeepAspect=0
}

# dialog_font FACE: the face that stands for the dialog font, "MS Shell Dlg".
dialog_font() {
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'MS Shell Dlg' \
    /d "$1" /f >/dev/null 2>&1 </dev/null
}

# shoot_dialog LANGUAGE CAPTION NAME: the dialog as a user of that language
# sees it. Wine takes the language from LANG, for a locale that the C
# library knows: the test build compiles both into its folder.
shoot_dialog() {
  local language=$1.UTF-8 caption=$2 name=$3
  saver_settings "BGM=1" "Engine=0" "Param1=0" "Param2=2"
  LOCPATH="$NOXEL_RUN_BUILD/locale" LANG=$language LC_ALL=$language wine "$scr" /c </dev/null >/dev/null 2>&1 &
  local pid=$! window= i
  # The visible window of that name: Wine may make and drop a hidden one of
  # the same name first, and a window taken then is gone when it is clicked.
  for i in $(seq 1 300); do
    window=$(xdotool search --onlyvisible --name "$caption" 2>/dev/null | tail -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "no window \"$caption\" within 30 s" >&2; return 1; }
  sleep 1  # its controls drawn
  # The preview button, right of the film's name.
  xdotool mousemove --window "$window" 510 68 click 1
  sleep "$wait_seconds"
  import -window "$window" "$work/$name.png"
  # The key's release can find the window gone, closed by its press.
  xdotool key --window "$window" Escape 2>/dev/null || true
  for i in $(seq 1 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" || true
}

# test_shots: the disabled picture tests of the test programs, in Japanese.
test_shots() {
  NOXEL_SCREEN=1024x768x24
  start_wine_session "$build"
  export NOXEL_SCREENSHOTS=$work/tests NOXEL_BIN=$NOXEL_RUN_BUILD/bin NOXEL_SOURCE=$root
  export LOCPATH=$NOXEL_RUN_BUILD/locale LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
  mkdir -p "$NOXEL_SCREENSHOTS"
  local test
  for test in gdi_engine_test gdiplus_test d2d_test dialog_test; do
    wine "$NOXEL_RUN_BUILD/bin/$test.exe" --gtest_also_run_disabled_tests --gtest_filter='*Screenshot*' \
      </dev/null >"$work/$test.log" 2>&1 || { echo "picture tests of $test failed: $work/$test.log" >&2; exit 1; }
  done
}

(small_screen)
(large_screen)
(wide_screen)
(test_shots)

# Each engine's options side by side, labelled.
label() { montage -font "$font" -pointsize 13 -background white "$@"; }
tiles=()
for white in 0 1 2 3; do for black in 0 1 2 3; do tiles+=("$work/gdi-$white-$black.png"); done; done
names=("白 white" "黒 black" "そのまま unchanged" "反転 invert")
montage "${tiles[@]}" -tile 4x4 -geometry 160x120+3+3 -background white "$work/gdi-grid.png"
convert "$work/gdi-grid.png" -gravity NorthWest -splice 140x40 -font "$font" -pointsize 13 \
  -annotate +2+2 "白の動作 (white) ↓\n黒の動作 (black) →" \
  -annotate +153+20 "${names[0]}" -annotate +319+20 "${names[1]}" \
  -annotate +485+20 "${names[2]}" -annotate +651+20 "${names[3]}" \
  -annotate +4+95 "${names[0]}" -annotate +4+221 "${names[1]}" \
  -annotate +4+347 "${names[2]}" -annotate +4+473 "${names[3]}" \
  -strip "$out/options-gdi.png"
label -label "Foreground Color: White" "$work/gdiplus-colour-0.png" -label "Foreground Color: Black" \
  "$work/gdiplus-colour-1.png" -tile 2x1 -geometry 240x180+4+4 -strip "$out/options-gdiplus-colour.png"
for mode in 0 5 3 7; do convert "$work/gdiplus-mode-$mode.png" -crop 120x90+590+50 +repage -filter point \
  -resize 200% "$work/gdiplus-crop-$mode.png"; done
label -label Default "$work/gdiplus-crop-0.png" -label NearestNeighbor "$work/gdiplus-crop-5.png" \
  -label Biliner "$work/gdiplus-crop-3.png" -label "HQ Bicubic" "$work/gdiplus-crop-7.png" \
  -tile 4x1 -geometry +4+4 -strip "$out/options-gdiplus-interpolation.png"
label -label "No Translucent" "$work/d2d-0.png" -label "White Top" "$work/d2d-1.png" \
  -label "Black Top" "$work/d2d-2.png" -tile 3x1 -geometry 240x180+4+4 -strip "$out/options-d2d.png"
# Few colours keep the option pictures small; the sunset keeps all of its.
for picture in "$out"/options-*.png; do convert "$picture" +dither -colors 96 -strip "$picture"; done
convert "$work/saver.png" -resize 640x480 -strip "$out/saver.png"
convert "$work/saver-kept.png" -resize 640x360 -strip "$out/saver-kept.png"
convert "$work/dialog.png" -strip "$out/dialog.png"
convert "$work/dialog-en.png" -strip "$out/dialog-en.png"
ls -l "$out"
