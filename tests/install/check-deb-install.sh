#!/usr/bin/env bash
# Installs the Debian package with apt-get as an administrator would, and runs what it installed:
# the unit verifies, the demo service answers, the monitor reads /usr/bin/Sniffer.ini and polls
# the service; a purge leaves nothing behind. The machine itself is not changed: /usr, /etc and
# /var are overlays on a tmpfs in a mount namespace of the test's own, and the network namespace
# is one of its own too, so apt-get can reach nothing and the services only loopback.
# usage: check-deb-install.sh PACKAGE_DIR (as check-deb.sh left it)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
debs=("$(realpath "$1")"/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "no single package in $1"
deb=${debs[0]}

if [ "${2:-}" != --in-namespace ]; then
  if [ "$(id -u)" -ne 0 ] || ! unshare --mount --net true 2>/dev/null; then
    echo "skipped: needs root to make mount and network namespaces"
    exit 77
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  status=0
  unshare --mount --propagation private --net "$0" "$1" --in-namespace "$work" || status=$?
  exit "$status"
fi

work=$3
mount -t tmpfs tmpfs "$work"
for dir in usr etc var; do
  mkdir -p "$work/upper/$dir" "$work/work/$dir"
  if ! mount -t overlay overlay -o "lowerdir=/$dir,upperdir=$work/upper/$dir,workdir=$work/work/$dir" "/$dir"; then
    echo "skipped: overlay mounts are not allowed here"
    exit 77
  fi
done
ip link set lo up
monitor_pid=
cleanup() {
  stop_service
  if [ -n "$monitor_pid" ]; then kill -TERM "$monitor_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
apt-get install -y "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install $deb"; }
dpkg-query -W -f='${Status}' quorvel-traffic-monitor | grep -q "install ok installed" || fail "not installed"
unit=/usr/lib/systemd/system/quorvel-sniffer.service
verify=$(systemd-analyze verify "$unit" 2>&1) || fail "systemd-analyze verify: $verify"
[ -z "$verify" ] || fail "systemd-analyze verify: $verify"
man -w sniffer-service >/dev/null || fail "man sniffer-service finds no page"

start_service "$work/service.log" /usr/bin/sniffer-service --demo --listen 127.0.0.1:0
expect_snapshot /usr/bin/netget

# The packaged monitor reads Sniffer.ini beside its executable, so an administrator puts it in
# /usr/bin. It then polls the service: a connection of its own to the service's port shows up.
printf '[Settings]\r\nSnifferService=127.0.0.1:%s\r\n' "$port" >/usr/bin/Sniffer.ini
QT_QPA_PLATFORM=offscreen /usr/bin/QuorvelTrafficMonitor >"$work/monitor.log" 2>&1 &
monitor_pid=$!
connected=
for _ in $(seq 100); do
  kill -0 "$monitor_pid" 2>/dev/null || { cat "$work/monitor.log"; fail "the installed monitor ended"; }
  if ss -tnpH state established "( dport = :$port )" | grep -q "pid=$monitor_pid,"; then
    connected=1
    break
  fi
  sleep 0.1
done
[ -n "$connected" ] || { cat "$work/monitor.log"; fail "the installed monitor never connected to 127.0.0.1:$port"; }
kill -TERM "$monitor_pid"
wait "$monitor_pid" || true
monitor_pid=
stop_service

apt-get purge -y quorvel-traffic-monitor >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get purge"; }
for f in /usr/bin/sniffer-service /usr/bin/QuorvelTrafficMonitor "$unit" /etc/default/quorvel-sniffer; do
  [ ! -e "$f" ] || fail "$f is left after purge"
done
echo "apt-get install of $(basename "$deb"): the installed unit verifies, the service answers, the monitor polls it"
