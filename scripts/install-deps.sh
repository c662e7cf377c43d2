#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds and tests with, if any is missing.
# Does nothing (and needs no network) when everything is there.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libcli11-dev
    clang libclang-rt-14-dev
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
    qt6-svg-dev libqt6svg6 qt6-charts-dev libqt6opengl6-dev libxcb1-dev
    xvfb xauth openbox xdotool x11-utils
    dpkg-dev lintian desktop-file-utils appstream librsvg2-bin file
    ccache clang-format clang-tidy
    ser2net
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null; then
    sudo=(sudo)
else
    echo "Missing packages (${missing[*]}) and no root rights or sudo to install them." >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
