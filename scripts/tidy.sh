#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy on the core library's sources (the Qt-free
# part: base, link, config, connections, sms, status), using the compile commands of a build.
# Exit status 0 when nothing is found; any finding fails the run.
#   scripts/tidy.sh [build-folder]   (default: build; configured with
#                                     CMAKE_EXPORT_COMPILE_COMMANDS, as CMakeLists.txt does)
# TIDY_JOBS sets how many files are checked at once (default: the number of processors).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
db="$build/compile_commands.json"
if [ ! -f "$db" ]; then
    echo "tidy.sh: $db is missing: configure the build first." >&2
    exit 2
fi
if ! command -v clang-tidy >/dev/null; then
    echo "tidy.sh: clang-tidy is missing: run scripts/install-deps.sh." >&2
    exit 2
fi

# The core's translation units: those the tk530core target compiles.
mapfile -t files < <(python3 - "$db" <<'PY'
import json, sys
seen = set()
for entry in json.load(open(sys.argv[1])):
    if "/tk530core.dir/" in entry.get("output", entry["command"]):
        f = entry["file"]
        if f not in seen:
            seen.add(f)
            print(f)
PY
)
if [ ${#files[@]} -eq 0 ]; then
    echo "tidy.sh: no core sources in $db." >&2
    exit 2
fi

jobs="${TIDY_JOBS:-$(nproc)}"
cd "$root"
printf '%s\0' "${files[@]}" |
    xargs -0 -n 1 -P "$jobs" clang-tidy --quiet -p "$build" 2> >(grep -v '^[0-9]* warnings\? generated' >&2)
echo "tidy.sh: ${#files[@]} core sources clean."
