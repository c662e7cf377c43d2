#!/usr/bin/env bash
# Renders the main window with each pane into docs/screenshots/*.png: the offscreen platform,
# the virtual unit's data (online, configuration, status and SMS read from it).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

scripts/install-deps.sh >&2
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTK_WERROR=ON >&2
fi
cmake --build build -j"$JOBS" --target tk530-screenshots >&2
QT_QPA_PLATFORM=offscreen build/tools/screenshots/tk530-screenshots docs/screenshots
ls docs/screenshots
