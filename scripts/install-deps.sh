#!/usr/bin/env bash
# Installs everything Fenwave needs to build, run and test on Debian 12.
# Idempotent: does nothing when every package is already present.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev fonts-dejavu-core
    # The window artwork is SVG: the Qt SVG module and its icon and image plug-ins.
    qt6-svg-dev
    libsqlite3-dev sqlite3
    libgtest-dev libgmock-dev libbenchmark-dev
    iperf3 iperf
    libavahi-client-dev avahi-daemon avahi-utils dbus libdbus-1-dev
    iproute2 xvfb xauth
    # Support mail's tests make their certificates with the openssl tool.
    openssl ca-certificates
    # make fuzz: clang with libFuzzer and the sanitizers' runtime.
    clang libclang-rt-14-dev
    # The install test and make deb: desktop and AppStream checks, dpkg-shlibdeps, lintian.
    desktop-file-utils appstream dpkg-dev lintian
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${missing[*]}" >&2
    echo "install-deps: run as root (or: sudo $0)" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
