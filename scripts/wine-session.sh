# Sourced by the scripts that run Windows programs: starts a private Xvfb
# display, a private Wine prefix with one persistent wineserver, and an ALSA
# configuration that sends the default sound device to a file. Everything is
# stopped again when the calling script exits.
#
#   start_wine_session BUILD_DIR   exports DISPLAY, WINEPREFIX, HOME,
#                                   NOXEL_AUDIO_FILE, NOXEL_SCREENSHOTS and
#                                   NOXEL_RUN_BUILD (the build whose programs
#                                   run here: BUILD_DIR, or BUILD_DIR/x64)

source "$(dirname "${BASH_SOURCE[0]}")/wine-arch.sh"

_noxel_stop_wine_session() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "${_noxel_xvfb_pid:-}" ] && kill "$_noxel_xvfb_pid" >/dev/null 2>&1 || true
  _noxel_xvfb_pid=
}

start_wine_session() {
  local build=$1
  local screen=${NOXEL_SCREEN:-1920x1080x24}
  mkdir -p "$build/home" "$build/audio" "$build/screenshots"

  if [ -z "${NOXEL_USE_DISPLAY:-}" ]; then
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
    _noxel_xvfb_pid=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
      xdpyinfo >/dev/null 2>&1 && break
      sleep 0.1
    done
  fi
  trap _noxel_stop_wine_session EXIT

  export HOME="$build/home"
  export NOXEL_AUDIO_FILE="$build/audio/out.raw"
  export NOXEL_SCREENSHOTS="$build/screenshots"
  # Appended through a pipe: the file plugin would truncate the file at
  # every open of the device, and a test that marked where the file ended
  # would then read from the middle of the next program's sound.
  cat > "$HOME/.asoundrc" <<ASOUND
pcm.!default { type file slave.pcm "null" file "|cat >> '$NOXEL_AUDIO_FILE'" format "raw" }
ASOUND

  export NOXEL_RUN_BUILD
  NOXEL_RUN_BUILD=$(noxel_run_build "$build")
  if noxel_runs_win32; then
    export WINEPREFIX="$build/wineprefix"
    export WINEARCH=win32
  else
    # Debian's wine starts its 32-bit loader whenever that is installed; here
    # every Wine command goes to the 64-bit one instead.
    export WINEPREFIX="$build/wineprefix64"
    export WINEARCH=win64
    export WINELOADER=/usr/lib/wine/wine64
    mkdir -p "$build/wine64-bin"
    local cmd
    for cmd in wine wine-stable; do
      printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$build/wine64-bin/$cmd"
      chmod +x "$build/wine64-bin/$cmd"
    done
    export PATH="$build/wine64-bin:$PATH"
  fi
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: making a fresh prefix in $WINEPREFIX" >&2
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
  fi
  # A persistent wineserver, and Wine's own services started here with their
  # output closed: started by a test instead, they would inherit the test's
  # pipes and keep ctest waiting for ever.
  wineserver -p >/dev/null 2>&1 </dev/null
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  # Japanese texts (the configuration dialog's) need a font with their
  # glyphs: IPA P Gothic stands in for MS UI Gothic, and Tahoma (the dialog
  # font) links to it for the characters it lacks, as on Windows.
  if ! grep -q '"MS UI Gothic"="IPAPGothic"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d IPAPGothic /f \
      >/dev/null 2>&1 </dev/null || true
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
      /t REG_MULTI_SZ /d 'MSGOTHIC.TTC,MS UI Gothic' /f >/dev/null 2>&1 </dev/null || true
  fi
  # No window manager runs on Xvfb: unmanaged windows close at once, where a
  # managed one makes Wine wait two seconds for a withdrawal that never comes.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
  # A program that crashes ends with Wine's backtrace instead of waiting in
  # a crash dialog that nobody closes: a crashing test ends, and the hostile
  # runs see a crash of the saver as a crash, not as a hang.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null || true
}
