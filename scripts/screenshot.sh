#!/usr/bin/env bash
# Pictures of Fenwave's windows, for checking how they look.
#
#   scripts/screenshot.sh [--dark] [output-dir]      (default: build/screenshots)
#
# Builds, then starts build/bin/fenwave on a virtual display (xvfb-run) with a throw-away home.
# The application itself saves the pictures (FENWAVE_SCREENSHOT): it waits until its window is
# exposed, grabs each tab and the preferences window, then quits. That needs no window-manager
# tool and no guessing of delays. Writes fenwave.png (home), fenwave-mytests.png,
# fenwave-history.png, fenwave-stopped.png (the warning line after a stop) and
# fenwave-preferences.png; with --dark, the same with a dark palette as fenwave-dark*.png.
set -euo pipefail

cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
PREFIX=fenwave
PALETTE=
if [ "${1:-}" = "--dark" ]; then
    PREFIX=fenwave-dark
    PALETTE=dark
    shift
fi
OUT_DIR=${1:-$BUILD_DIR/screenshots}

make --no-print-directory build BUILD_DIR="$BUILD_DIR"

for tool in xvfb-run Xvfb; do
    if ! command -v "$tool" >/dev/null; then
        echo "screenshot: $tool is missing; run scripts/install-deps.sh" >&2
        exit 1
    fi
done

mkdir -p "$OUT_DIR"
OUT_DIR=$(cd "$OUT_DIR" && pwd)
rm -f "$OUT_DIR/$PREFIX".png "$OUT_DIR/$PREFIX"-{mytests,history,history-details,history-graph,stopped,preferences}.png

HOME_DIR=$(mktemp -d)
trap 'rm -rf "$HOME_DIR"' EXIT

# timeout runs inside xvfb-run, so xvfb-run always gets to stop its own Xvfb.
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    HOME="$HOME_DIR" FENWAVE_SCREENSHOT="$OUT_DIR/$PREFIX.png" FENWAVE_SCREENSHOT_PALETTE="$PALETTE" \
    xvfb-run -a -s "-screen 0 1280x800x24" \
    timeout 120 "$BUILD_DIR/bin/fenwave" >"$HOME_DIR/out.txt" 2>"$HOME_DIR/err.txt" || {
    status=$?
    echo "screenshot: fenwave exited with status $status" >&2
    cat "$HOME_DIR/out.txt" "$HOME_DIR/err.txt" >&2
    exit 1
}

missing=0
for name in "$PREFIX" "$PREFIX"-mytests "$PREFIX"-history "$PREFIX"-history-details "$PREFIX"-history-graph "$PREFIX"-stopped "$PREFIX"-preferences; do
    if [ -s "$OUT_DIR/$name.png" ]; then
        echo "$OUT_DIR/$name.png"
    else
        echo "screenshot: $OUT_DIR/$name.png was not written" >&2
        missing=1
    fi
done
exit $missing
