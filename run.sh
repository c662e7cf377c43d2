#!/usr/bin/env bash
# Runs the program against the virtual unit: installs and builds what is missing, starts
# tk530-sim on a pseudo-terminal, asks it for its identification, its status and its
# configuration with tk530ctl (in a temporary program folder), prints what comes back, and
# stops the virtual unit again.
set -euo pipefail
cd "$(dirname "$0")"
JOBS=${JOBS:-2}

scripts/install-deps.sh >&2

# The same build as test.sh, so neither rebuilds the other's work for nothing.
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTK_WERROR=ON >&2
fi
cmake --build build -j"$JOBS" --target tk530-sim tk530ctl >&2

SIM=build/tools/sim/tk530-sim
CTL=build/tools/cli/tk530ctl

work=$(mktemp -d "${TMPDIR:-/tmp}/tk530-run.XXXXXX")
sim_pid=
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir "$work/program" "$work/files"
"$SIM" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!

# The virtual unit prints the device to open as its first line.
port=
for _ in $(seq 100); do
    port=$(head -n 1 "$work/sim.out" 2>/dev/null || true)
    [ -n "$port" ] && break
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        cat "$work/sim.err" >&2
        echo "The virtual unit did not start." >&2
        exit 1
    fi
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "The virtual unit did not report its device." >&2
    exit 1
fi
echo "Virtual unit on $port"

status=0
run() {
    echo
    echo "\$ tk530ctl $*"
    "$CTL" --folder "$work/program" --port "$port" "$@" || status=$?
}

run info
run status
run read-config "$work/files/unit.cfg"
if [ -f "$work/files/unit.cfg" ]; then
    echo "$(stat -c %s "$work/files/unit.cfg") bytes; the first 16:"
    od -A d -t x1 -N 16 "$work/files/unit.cfg"
fi
exit "$status"
