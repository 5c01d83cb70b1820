#!/usr/bin/env bash
# Checks the Debian packages make deb built:
#
#   scripts/check-debs.sh PACKAGE_DIR
#
# Each package is unpacked into a throw-away root (dpkg-deb -x) and its file list, control fields
# and maintainer scripts are checked; the desktop entry and AppStream file are validated, the
# unpacked programs answer --help, and lintian runs on both packages and fails on any error or
# warning.
set -euo pipefail
cd "$(dirname "$0")/.."
DIR=${1:?package folder}
fail() { echo "check-debs: $*" >&2; exit 1; }

version=$(sed -n 's/^project(Fenwave VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)-1
arch=$(dpkg --print-architecture)
app=$DIR/fenwave_${version}_${arch}.deb
agent=$DIR/fenwave-agent_${version}_${arch}.deb
[ -f "$app" ] || fail "no $app"
[ -f "$agent" ] || fail "no $agent"

ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT

# field DEB NAME: one control field's value.
field() { dpkg-deb -f "$1" "$2"; }
# has_dependency DEB FIELD PACKAGE: the field names the package (with or without a version).
has_dependency() {
    field "$1" "$2" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$3" ||
        fail "$(basename "$1"): $2 lacks $3 ($(field "$1" "$2"))"
}

for deb in "$app" "$agent"; do
    [ "$(field "$deb" Version)" = "$version" ] || fail "$(basename "$deb"): version $(field "$deb" Version)"
    # dpkg-shlibdeps worked out the C library at least.
    has_dependency "$deb" Depends libc6
    has_dependency "$deb" Depends iperf3
    has_dependency "$deb" Depends iperf
done
has_dependency "$app" Depends libqt6widgets6
has_dependency "$app" Depends libsqlite3-0
has_dependency "$app" Recommends avahi-daemon
has_dependency "$agent" Depends avahi-daemon
has_dependency "$agent" Depends libavahi-client3

dpkg-deb -x "$app" "$ROOT/app"
for file in usr/bin/fenwave usr/bin/fenwave-cli usr/libexec/fenwave/native-iperf usr/libexec/fenwave/native-iPerf-2 \
    usr/share/fenwave/fnwe.db usr/share/fenwave/FenwaveDefaults.json usr/share/fenwave/user-guide.html \
    usr/share/applications/fenwave.desktop usr/share/metainfo/org.fenwave.Fenwave.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/fenwave.svg usr/share/man/man1/fenwave.1.gz \
    usr/share/man/man1/fenwave-cli.1.gz usr/share/doc/fenwave/copyright usr/share/doc/fenwave/changelog.Debian.gz; do
    [ -e "$ROOT/app/$file" ] || fail "fenwave lacks /$file"
done
for size in 16 22 24 32 48 64 128 256; do
    [ -e "$ROOT/app/usr/share/icons/hicolor/${size}x${size}/apps/fenwave.png" ] || fail "fenwave lacks the ${size} px icon"
done
if find "$ROOT/app" -name 'fenwave-agent*' | grep -q .; then fail "fenwave holds the agent"; fi
desktop-file-validate "$ROOT/app/usr/share/applications/fenwave.desktop"
appstreamcli validate --no-net "$ROOT/app/usr/share/metainfo/org.fenwave.Fenwave.metainfo.xml" >/dev/null
"$ROOT/app/usr/bin/fenwave-cli" --help >/dev/null || fail "the unpacked fenwave-cli does not start"

dpkg-deb -x "$agent" "$ROOT/agent"
for file in usr/bin/fenwave-agent lib/systemd/system/fenwave-agent.service etc/fenwave/agent.conf \
    usr/share/man/man1/fenwave-agent.1.gz usr/share/doc/fenwave-agent/copyright \
    usr/share/doc/fenwave-agent/changelog.Debian.gz; do
    [ -e "$ROOT/agent/$file" ] || fail "fenwave-agent lacks /$file"
done
[ "$(find "$ROOT/agent" -type f | wc -l)" -eq 7 ] || fail "fenwave-agent holds more than the agent: $(cd "$ROOT/agent" && find . -type f)"
dpkg-deb -e "$agent" "$ROOT/agent-control"
grep -qx /etc/fenwave/agent.conf "$ROOT/agent-control/conffiles" || fail "agent.conf is no conffile"
for script in postinst prerm postrm; do
    [ -x "$ROOT/agent-control/$script" ] || fail "fenwave-agent lacks its $script"
done
grep -q "^ExecStart=/usr/bin/fenwave-agent$" "$ROOT/agent/lib/systemd/system/fenwave-agent.service" ||
    fail "the service does not start /usr/bin/fenwave-agent"
"$ROOT/agent/usr/bin/fenwave-agent" --help >/dev/null || fail "the unpacked fenwave-agent does not start"

lintian --fail-on error,warning --display-info "$app" "$agent"
echo "check-debs: $(basename "$app") and $(basename "$agent") checked"
