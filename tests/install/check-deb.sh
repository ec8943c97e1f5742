#!/usr/bin/env bash
# Builds the Debian package from the build tree and checks it: its version, the dependencies on
# Qt 6, OpenSSL 3 and libpcap, the settings file kept as a conffile, nothing outside /usr and /etc,
# and that the programs unpacked from it run (--version, the demo answering "/" on loopback).
# The package is left in OUT_DIR for the installation check.
# usage: check-deb.sh BUILD_DIR VERSION OUT_DIR
set -euo pipefail
build=$1
version=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"

rm -rf "$out"
mkdir -p "$out"
(cd "$build" && cpack --config CPackConfig.cmake -G DEB -B "$out") >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; fail "cpack -G DEB"; }
debs=("$out"/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "cpack made ${#debs[@]} packages"
deb=${debs[0]}
field() { dpkg-deb -f "$deb" "$1"; }

[ "$(field Package)" = quorvel-traffic-monitor ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "package version $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture $(field Architecture)"
depends=$(field Depends)
# libssl3 is loaded at run time for https name lists, qt6-qpa-plugins for the window system.
for package in libqt6widgets6 libqt6gui6 libqt6core6 libpcap0.8 libssl3 qt6-qpa-plugins libc6; do
  grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done

control=$out/control
dpkg-deb -e "$deb" "$control"
grep -qx /etc/default/quorvel-sniffer "$control/conffiles" || fail "the service settings are not a conffile"
for script in postinst prerm postrm; do
  sh -n "$control/$script" || fail "$script does not parse"
done
stray=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -Ev '^\./(usr|etc)/' | grep -vx './' || true)
[ -z "$stray" ] || fail "files outside /usr and /etc: $stray"
! dpkg-deb -c "$deb" | grep -q '/usr/local/' || fail "the package installs into /usr/local"
grep -qx 'ExecStart=/usr/bin/sniffer-service .*' < <(dpkg-deb --fsys-tarfile "$deb" |
  tar -xO ./usr/lib/systemd/system/quorvel-sniffer.service) || fail "the packaged unit does not start /usr/bin/sniffer-service"

root=$out/root
dpkg -x "$deb" "$root"
for tool in sniffer-service netget; do
  [ "$("$root/usr/bin/$tool" --version)" = "$tool $version" ] || fail "packaged $tool --version"
done
trap stop_service EXIT
start_service "$out/service.log" "$root/usr/bin/sniffer-service" --demo --listen 127.0.0.1:0
expect_snapshot "$root/usr/bin/netget"
stop_service
echo "package $deb: all checks passed"
echo "Depends: $depends"
