#!/usr/bin/env bash
# The real monitor under Xvfb against a loopback service serving a fixed data set of 45 hosts;
# after a few ticks a screenshot is checked pixel by pixel and kept as a test artefact.
set -euo pipefail
monitor=$1 checker=$2 artefacts=$3 source_dir=$4
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

python3 "$source_dir/tests/e2e/make-dataset.py" "$work/data"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/data" >/dev/null 2>&1 &
pids+=($!)

mkdir -p "$work/app"
cp "$monitor" "$work/app/"
printf '[Settings]\nSnifferService=127.0.0.1:%s\n' "$port" > "$work/app/Sniffer.ini"

display=${QTM_XVFB_DISPLAY:-}
if [ -z "$display" ]; then
  for _ in $(seq 20); do
    n=$(( 90 + RANDOM % 100 ))
    [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
  done
fi
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
DISPLAY=$display XDG_RUNTIME_DIR=$work "$work/app/$(basename "$monitor")" >"$work/monitor.log" 2>&1 &
pids+=($!)
sleep 6
mkdir -p "$artefacts"
DISPLAY=$display import -window root "$artefacts/e2e-monitor.png"
"$checker" "$artefacts/e2e-monitor.png" "$source_dir/resources/logo.png"
