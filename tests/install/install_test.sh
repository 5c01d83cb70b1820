#!/usr/bin/env bash
# Installs the build into a throw-away prefix and starts what was installed: the application
# offscreen (it opens its window, makes its support folder, copies the database) and the agent on
# 127.0.0.1 (it answers the Wi-Fi query). A broken install rule fails here.
set -euo pipefail
BUILD_DIR=$1
WORK=$(mktemp -d)
APP_PID=
AGENT_PID=
cleanup() {
    [ -n "$APP_PID" ] && kill -9 "$APP_PID" 2>/dev/null || true
    [ -n "$AGENT_PID" ] && kill -9 "$AGENT_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "install test: $*" >&2; exit 1; }
# Waits up to 20 s for a command to succeed, checking every 50 ms.
wait_for() {
    for _ in $(seq 400); do
        if "$@"; then return 0; fi
        sleep 0.05
    done
    return 1
}

PREFIX=$WORK/prefix
cmake --install "$BUILD_DIR" --prefix "$PREFIX" >/dev/null
for file in bin/fenwave bin/fenwave-agent bin/fenwave-cli share/fenwave/fnwe.db libexec/fenwave/native-iperf \
    libexec/fenwave/native-iPerf-2 share/fenwave/FenwaveDefaults.json share/fenwave/user-guide.html \
    share/applications/fenwave.desktop share/metainfo/org.fenwave.Fenwave.metainfo.xml \
    share/icons/hicolor/scalable/apps/fenwave.svg share/man/man1/fenwave.1.gz share/man/man1/fenwave-cli.1.gz \
    share/man/man1/fenwave-agent.1.gz lib/systemd/system/fenwave-agent.service etc/fenwave/agent.conf \
    share/doc/fenwave/copyright share/doc/fenwave-agent/changelog.Debian.gz; do
    [ -e "$PREFIX/$file" ] || fail "$file was not installed"
done
# Compiled programs stay out of share.
if find "$PREFIX/share" -type f -exec sh -c 'head -c 4 "$1" | grep -q ELF' _ {} \; -print | grep .; then
    fail "compiled programs installed under share"
fi
# Each fixed-size icon is drawn at the size of its folder (a PNG's width and height are bytes 16-23).
for size in 16 22 24 32 48 64 128 256; do
    png=$PREFIX/share/icons/hicolor/${size}x${size}/apps/fenwave.png
    [ -e "$png" ] || fail "the ${size} px icon was not installed"
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
    [ "$dims" = "${size}x${size}" ] || fail "the ${size} px icon is $dims"
done
desktop-file-validate "$PREFIX/share/applications/fenwave.desktop" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$PREFIX/share/metainfo/org.fenwave.Fenwave.metainfo.xml" >/dev/null ||
    fail "the AppStream file is not valid"
grep -q "^ExecStart=.*/bin/fenwave-agent$" "$PREFIX/lib/systemd/system/fenwave-agent.service" ||
    fail "the service does not start the agent"

# The application, with a home of its own and no system bus.
HOME_DIR=$WORK/home
mkdir -p "$HOME_DIR"
# A sanitizer build's settings go along.
env -i PATH="$PATH" HOME="$HOME_DIR" QT_QPA_PLATFORM=offscreen ${TSAN_OPTIONS:+TSAN_OPTIONS="$TSAN_OPTIONS"} \
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/no-bus" "$PREFIX/bin/fenwave" >"$WORK/app.log" 2>&1 &
APP_PID=$!
SUPPORT=$HOME_DIR/.local/share/FenwaveEnterprise
started() { [ -s "$SUPPORT/fnwe.db" ] && ls "$SUPPORT"/log-*.txt >/dev/null 2>&1 && grep -q "Server did not start" "$SUPPORT"/log-*.txt; }
wait_for started || { cat "$WORK/app.log" >&2; fail "the installed application did not start"; }
[ -x "$SUPPORT/native-iperf" ] || fail "the application did not install its iperf wrapper"
kill -TERM "$APP_PID"
status=0
wait "$APP_PID" || status=$?
APP_PID=
[ "$status" -eq 0 ] || fail "the application exited with $status on SIGTERM"

# The agent on loopback, on ports of its own; the Wi-Fi port is the one it reports.
base=$((20000 + RANDOM % 30000))
"$PREFIX/bin/fenwave-agent" --bind 127.0.0.1 --no-announce --iperf3-port "$base" --tcp-port $((base + 1)) \
    --udp-port $((base + 2)) --wifi-port 0 >"$WORK/agent.log" 2>&1 &
AGENT_PID=$!
listening() { grep -q "answers Wi-Fi queries on 127.0.0.1:" "$WORK/agent.log"; }
wait_for listening || { cat "$WORK/agent.log" >&2; fail "the installed agent did not start"; }
port=$(sed -n 's/.*answers Wi-Fi queries on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$WORK/agent.log" | head -1)
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'EP_WiFi_Info\r\n' >&3
reply=$(timeout 10 cat <&3 || true)
exec 3<&-
case "$reply" in
SSID:*'$#$'BSSID:*) ;;
*) fail "the agent answered '$reply'" ;;
esac
kill -TERM "$AGENT_PID"
wait "$AGENT_PID" || fail "the agent did not stop cleanly"
AGENT_PID=
echo "install test: installed into $PREFIX, application and agent ran"
