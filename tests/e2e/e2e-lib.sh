# Shared by the end-to-end scripts: a work folder cleaned up on exit, the fixed 45-host data set
# served on a free loopback port, a copy of the monitor whose Sniffer.ini points there, and a
# virtual display with openbox on it.
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

# serve_dataset SOURCE_DIR MONITOR: sets port; the copy of the monitor is in $work/app.
serve_dataset() {
  python3 "$1/tests/e2e/make-dataset.py" "$work/data"
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/data" >/dev/null 2>&1 &
  pids+=($!)
  mkdir -p "$work/app"
  cp "$2" "$work/app/"
  printf '[Settings]\nSnifferService=127.0.0.1:%s\n' "$port" >"$work/app/Sniffer.ini"
}

# start_display [VAR=VALUE...]: sets display; the arguments are openbox's environment. Takes
# QTM_XVFB_DISPLAY when given, else a free display number.
start_display() {
  display=${QTM_XVFB_DISPLAY:-}
  if [ -z "$display" ]; then
    for _ in $(seq 20); do
      local n=$((90 + RANDOM % 100))
      [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
    done
  fi
  [ -n "$display" ] || fail "no free display number"
  Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  env DISPLAY="$display" "$@" openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
}
