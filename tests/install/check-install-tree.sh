#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there: every file in its place,
# square icons of the sizes they claim, a valid desktop entry and metainfo that name the installed
# program and icon, a unit that verifies against the installed programs and whose default settings
# make a command line the service accepts, manual pages, and installed tools that print their
# version and serve the demo on loopback.
# usage: check-install-tree.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"

prefix=$(mktemp -d)
cleanup() {
  stop_service
  rm -rf "$prefix"
}
trap cleanup EXIT
cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log"; fail "cmake --install"; }
rm -f "$prefix.log"

id=org.quorvel.TrafficMonitor
unit=$prefix/lib/systemd/system/quorvel-sniffer.service
config=$prefix/etc/default/quorvel-sniffer
for f in bin/QuorvelTrafficMonitor bin/sniffer-service bin/netget; do
  [ -x "$prefix/$f" ] || fail "$f is not installed as a program"
done
for f in share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/man/man1/sniffer-service.1.gz share/man/man1/netget.1.gz \
  share/doc/quorvel-traffic-monitor/Sniffer.ini.example "${unit#"$prefix/"}" "${config#"$prefix/"}"; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done

for size in 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -f "$icon" ] || fail "no ${size}px icon"
  # Width and height from the PNG header.
  read -r w h < <(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); assert d[:8]==b"\x89PNG\r\n\x1a\n"; print(*struct.unpack(">II",d[16:24]))' "$icon")
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "the ${size}px icon is ${w}x${h}"
done

desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = "$id" ] || fail "the desktop entry does not name the installed icon"
[ -x "$prefix/bin/$(sed -n 's/^Exec=//p' "$desktop")" ] || fail "the desktop entry does not start the installed monitor"
metainfo=$prefix/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the metainfo does not launch $id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo does not list release $version"

# Verified as installed: ExecStart must name the installed program, and the manual page of
# Documentation= must be found. systemd-analyze reports problems as warnings with status 0.
grep -qx "ExecStart=$prefix/bin/sniffer-service .*" "$unit" || fail "ExecStart does not name the installed service"
grep -qx "EnvironmentFile=$config" "$unit" || fail "EnvironmentFile does not name the installed settings"
verify=$(MANPATH=$prefix/share/man systemd-analyze verify "$unit" 2>&1) || fail "systemd-analyze verify: $verify"
[ -z "$verify" ] || fail "systemd-analyze verify: $verify"
for key in DynamicUser=yes "AmbientCapabilities=CAP_NET_RAW CAP_NET_ADMIN" \
  "CapabilityBoundingSet=CAP_NET_RAW CAP_NET_ADMIN" NoNewPrivileges=yes ProtectSystem=strict ProtectHome=yes \
  PrivateTmp=yes; do
  grep -qx "$key" "$unit" || fail "the unit lacks $key"
done

# The sandbox as systemd rates it (0 best, 10 worst, the threshold in tenths): the unit scores
# 1.8, so this fails when the sandbox gets weaker by more than the smallest step.
security=$(MANPATH=$prefix/share/man systemd-analyze security --offline=yes --threshold=19 "$unit" 2>&1) ||
  fail "the unit's exposure is above 1.9: $(tail -n 1 <<<"$security")"

# The shipped settings give a command line the service runs with: in an empty network namespace
# the interface is missing (status 1), where a wrong command line would give status 2.
status=0
out=$(unshare --net bash -c "$(declare -f run_unit_command); run_unit_command '$unit' '$config'" 2>&1) || status=$?
[ "$status" = 1 ] && grep -q "no such interface" <<<"$out" ||
  fail "the unit's command line with the shipped settings: status $status: $out"

for tool in sniffer-service netget; do
  [ "$("$prefix/bin/$tool" --version)" = "$tool $version" ] || fail "$tool --version"
  "$prefix/bin/$tool" --help | grep -q -- "--version" || fail "$tool --help does not list --version"
  page=$(man -l "$prefix/share/man/man1/$tool.1.gz" 2>/dev/null)
  grep -q "^NAME" <<<"$page" && grep -q -- "--version" <<<"$page" || fail "the manual page of $tool"
done

start_service "$prefix/service.log" "$prefix/bin/sniffer-service" --demo --listen 127.0.0.1:0
expect_snapshot "$prefix/bin/netget"
stop_service
echo "install tree under $prefix: all checks passed"
