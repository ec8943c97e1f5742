#!/usr/bin/env bash
# The service captures without root when it holds CAP_NET_RAW and CAP_NET_ADMIN, and says what is
# missing when it holds neither. Both runs are as the user nobody, in a network namespace of the
# test's own with only a loopback interface.
# usage: check-capture-rights.sh SNIFFER_SERVICE NETGET
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"

if [ "${1:-}" != --in-namespace ]; then
  if [ "$(id -u)" -ne 0 ] || ! unshare --net true 2>/dev/null; then
    echo "skipped: needs root to make a network namespace and switch to nobody"
    exit 77
  fi
  # Copies that nobody may run wherever the build tree lives.
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  chmod 755 "$work"
  cp "$1" "$work/sniffer-service"
  cp "$2" "$work/netget"
  unshare --net "$0" --in-namespace "$work"
  exit
fi

work=$2
trap stop_service EXIT
ip link set lo up
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
capture=("$work/sniffer-service" --interface lo --network 127.0.0.0/8 --listen 127.0.0.1:0)

status=0
out=$("${as_nobody[@]}" "${capture[@]}" 2>&1) || status=$?
[ "$status" = 1 ] || fail "without capabilities the service ended with status $status: $out"
for text in "no permission to capture on lo" "CAP_NET_RAW and CAP_NET_ADMIN" \
  "AmbientCapabilities=CAP_NET_RAW CAP_NET_ADMIN" "setcap cap_net_raw,cap_net_admin=eip $work/sniffer-service"; do
  grep -qF "$text" <<<"$out" || fail "the refusal does not say \"$text\": $out"
done

start_service "$work/capture.log" "${as_nobody[@]}" --inh-caps +net_raw,+net_admin \
  --ambient-caps +net_raw,+net_admin "${capture[@]}"
uid=$(awk '/^Uid:/ { print $3 }' "/proc/$service_pid/status")
caps=$(awk '/^CapEff:/ { print $2 }' "/proc/$service_pid/status")
[ "$uid" = "$(id -u nobody)" ] || fail "the service runs as uid $uid"
# CAP_NET_ADMIN is bit 12, CAP_NET_RAW bit 13: these two and nothing else.
[ "$caps" = 0000000000003000 ] || fail "the service holds capabilities $caps"

# Our own fetches are loopback traffic: 127.0.0.1 must appear with bytes counted.
for _ in $(seq 50); do
  expect_snapshot "$work/netget"
  if grep -Eq '^127\.0\.0\.1,-?[0-9]+,-?[0-9]+,[1-9][0-9]*,[1-9][0-9]*$' <<<"$snapshot"; then
    stop_service
    echo "capture as nobody with CAP_NET_RAW and CAP_NET_ADMIN counts loopback traffic; without them it says so"
    exit 0
  fi
  sleep 0.2
done
fail "no loopback traffic counted: $snapshot"
