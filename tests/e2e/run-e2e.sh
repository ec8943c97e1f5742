#!/usr/bin/env bash
# The real monitor under Xvfb against a loopback service serving a fixed data set of 45 hosts;
# after a few ticks a screenshot is checked pixel by pixel and kept as a test artefact.
set -euo pipefail
monitor=$1 checker=$2 artefacts=$3 source_dir=$4
source "$(dirname "$0")/e2e-lib.sh"
serve_dataset "$source_dir" "$monitor"
start_display
DISPLAY=$display XDG_RUNTIME_DIR=$work "$work/app/$(basename "$monitor")" >"$work/monitor.log" 2>&1 &
pids+=($!)
sleep 6
mkdir -p "$artefacts"
DISPLAY=$display import -window root "$artefacts/e2e-monitor.png"
"$checker" "$artefacts/e2e-monitor.png" "$source_dir/resources/logo.png"
