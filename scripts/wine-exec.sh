#!/usr/bin/env bash
# Runs one Windows program under Wine in the test run's private prefix.
# ctest uses this as the emulator for every Windows test executable.
#
# NOXEL_HUNG_AFTER=SECONDS (set for a test that needs it): a run still going
# after that long is taken as hung and started once more. Wine's software
# Direct2D can block for ever inside one X call when a test reads a window
# while a present is under way on a busy machine; every wait of the tests
# themselves has a deadline, so only such a block outlasts it. A run that
# fails, rather than hangs, is not repeated.
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEARCH=${WINEARCH:-win32}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
[ -n "${NOXEL_HUNG_AFTER:-}" ] || exec wine "$@"
for attempt in 1 2; do
  timeout -k 10 "$NOXEL_HUNG_AFTER" wine "$@"
  status=$?
  [ "$status" -eq 124 ] || [ "$status" -eq 137 ] || exit "$status"
  echo "wine-exec: $1 still ran after $NOXEL_HUNG_AFTER s (attempt $attempt): taken as hung" >&2
done
exit "$status"
