#!/usr/bin/env bash
# The real monitor writes nothing: run under Xvfb and openbox against a loopback service, with HOME
# and XDG_CONFIG_HOME in an empty folder, traced by strace, and closed as a user closes it (Alt+F4,
# which openbox turns into a close request). The folder must stay empty, the trace must show no
# file opened for writing, created, renamed or removed, and the program must end by itself.
set -euo pipefail
monitor=$1 source_dir=$2
source "$(dirname "$0")/e2e-lib.sh"
serve_dataset "$source_dir" "$monitor"
mkdir -p "$work/home" "$work/wm"
mkdir -m 700 "$work/runtime"
# The window manager keeps its own state apart from the folder under test.
start_display HOME="$work/wm" XDG_CONFIG_HOME="$work/wm" XDG_CACHE_HOME="$work/wm"

(cd "$work/app" && exec env -u XDG_CACHE_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME \
  DISPLAY="$display" HOME="$work/home" XDG_CONFIG_HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
  strace -f -qq -o "$work/trace" \
    -e trace=open,openat,openat2,creat,mkdir,mkdirat,rename,renameat,renameat2,unlink,unlinkat,rmdir,link,linkat,symlink,symlinkat,truncate,chmod,fchmodat,utimensat \
    "./$(basename "$monitor")" >"$work/monitor.log" 2>&1) &
monitor_pid=$!
pids+=($monitor_pid)

window=$(DISPLAY=$display timeout 30 xdotool search --sync --onlyvisible --name '^Quorvel Traffic Monitor' | head -1) \
  || fail "the window did not appear"
sleep 3 # a few poll ticks
DISPLAY=$display xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
for _ in $(seq 100); do kill -0 "$monitor_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$monitor_pid" 2>/dev/null && fail "the program did not end after its window was closed"
wait "$monitor_pid" || fail "the program ended with status $? ($(tail -3 "$work/monitor.log"))"

left=$(find "$work/home" -mindepth 1)
[ -z "$left" ] || fail "files left in the home folder: $left"

# Writes of any kind, except to devices (the terminal, /dev/null) and by the failing calls of
# probes that find nothing.
writes=$(grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|creat\(|mkdir|rename|unlink|rmdir|link\(|linkat|symlink|truncate|chmod|utimensat' "$work/trace" \
  | grep -vE '"/dev/' | grep -vE '= -1 E' || true)
[ -z "$writes" ] || fail "the program wrote: $writes"
echo "ok: the program closed by its window wrote nothing ($(wc -l < "$work/trace") file calls traced)"
