#!/usr/bin/env bash
# Runs every test of Noxel on this machine: installs what is missing, builds,
# runs the Windows tests under Wine on a private Xvfb display, then the
# portable tests built for the host with AddressSanitizer and UBSan.
# Extra arguments go to the Windows ctest run (for example -R reader).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NOXEL_BUILD_DIR:-$root/build}

bash "$root/scripts/build.sh"
source "$root/scripts/wine-session.sh"
start_wine_session "$build"

status=0
ctest --test-dir "$NOXEL_RUN_BUILD" --output-on-failure "$@" || status=1
ctest --test-dir "$build/host" --output-on-failure || status=1
exit $status
