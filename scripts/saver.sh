# Sourced by the scripts that run noxel.scr under Wine, after
# start_wine_session: writes the screen saver's settings into the prefix's
# registry and runs it full screen as Windows does ("noxel.scr /s").

# The Windows form of a host path, through Wine's Z: drive.
windows_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s' "${path//\//\\}"
}

# saver_settings NAME=VALUE...: stores the values in one registry import; a
# value of digits only is a number (REG_DWORD), anything else text (REG_SZ).
saver_settings() {
  local file pair name value
  file=$(mktemp --suffix=.reg)
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Cobaltwing\\Noxel]\r\n'
    for pair in "$@"; do
      name=${pair%%=*}
      value=${pair#*=}
      if [[ $value =~ ^[0-9]+$ ]]; then
        printf '"%s"=dword:%08x\r\n' "$name" "$value"
      else
        value=${value//\\/\\\\}
        printf '"%s"="%s"\r\n' "$name" "${value//\"/\\\"}"
      fi
    done
  } >"$file"
  wine reg import "$(windows_path "$file")" >/dev/null 2>&1 </dev/null
  local status=$?
  rm -f "$file"
  return $status
}

# saver_run_for SCR SECONDS SCREENSHOT: runs SCR /s, saves the whole screen
# as a PNG after SECONDS, then ends it with a key press as a user would.
# Succeeds when the screen saver was still running at the screenshot and
# ended with exit code 0 after the key; saver_exit holds its exit code.
saver_run_for() {
  local scr=$1 seconds=$2 shot=$3 pid i
  saver_exit=
  wine "$scr" /s </dev/null >/dev/null 2>&1 &
  pid=$!
  sleep "$seconds"
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid"
    saver_exit=$?
    echo "noxel.scr ended by itself (exit code $saver_exit) before the screenshot" >&2
    return 1
  fi
  mkdir -p "$(dirname "$shot")"
  import -window root "$shot"
  xdotool key space
  for i in $(seq 1 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "noxel.scr did not end on a key press" >&2
    kill "$pid"
    wait "$pid"
    saver_exit=$?
    return 1
  fi
  wait "$pid"
  saver_exit=$?
  [ "$saver_exit" -eq 0 ]
}
