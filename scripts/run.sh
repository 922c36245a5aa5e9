#!/usr/bin/env bash
# Noxel's main job: builds both programs, makes the demo film and its music
# (scripts/make-demo.sh), stores them in the screen saver's settings in the
# Wine prefix's registry (music on, the rest as on a first run) and plays the film full screen as the
# screen saver ("noxel.scr /s").
#  - On your own X display (DISPLAY set and reachable), until you move the
#    mouse or press a key, with the music on your sound device.
#  - Otherwise on a virtual display (Xvfb) for a few seconds: a screenshot is
#    saved to build/screenshots/run.png and the screen saver is ended with a
#    key press.
#
#   bash scripts/run.sh
#   NOXEL_DEMO_SECONDS=5 bash scripts/run.sh    a shorter film
#   NOXEL_HEADLESS=1 bash scripts/run.sh        the virtual display even when DISPLAY is set
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}
export NOXEL_BUILD_DIR=$build

bash "$root/scripts/build.sh"
bash "$root/scripts/make-demo.sh"

unset NOXEL_USE_DISPLAY
if [ -z "${NOXEL_HEADLESS:-}" ] && [ -n "${DISPLAY:-}" ] && timeout 5 xdpyinfo >/dev/null 2>&1; then
  export NOXEL_USE_DISPLAY=1
fi
source "$root/scripts/wine-session.sh"
source "$root/scripts/saver.sh"
start_wine_session "$build"
# The demo film with its music; everything else as on a first run, so that
# choices left in the prefix by the tests do not change the picture.
saver_settings "NoxelFilePath=$(windows_path "$build/demo/Veilwick.nxl")" \
               "WavFilePath=$(windows_path "$build/demo/Veilwick.wav")" "BGM=1" \
               "BackGroundImageFilePath=" "DisplayFrameRate=0" "Engine=0" "Param1=0" "Param2=2" "Volume=65535"
scr=$NOXEL_RUN_BUILD/bin/noxel.scr

if [ -n "${NOXEL_USE_DISPLAY:-}" ]; then
  # The session sends sound to a file for the tests; here it is for your ears.
  rm -f "$HOME/.asoundrc"
  echo "playing the screen saver on $DISPLAY: move the mouse or press a key to end it"
  status=0
  wine "$scr" /s </dev/null >/dev/null 2>&1 || status=$?
  echo "noxel.scr ended with exit code $status"
  exit "$status"
fi

shot=$build/screenshots/run.png
: >"$NOXEL_AUDIO_FILE"
echo "playing the screen saver on a virtual display (no usable DISPLAY) for ${NOXEL_RUN_SECONDS:-6} seconds"
status=0
saver_run_for "$scr" "${NOXEL_RUN_SECONDS:-6}" "$shot" || status=1
echo "screenshot: $shot"
echo "music: $(stat -c %s "$NOXEL_AUDIO_FILE") bytes of sound reached the sound output"
echo "noxel.scr ended with exit code ${saver_exit:-?} after a key press"
exit "$status"
