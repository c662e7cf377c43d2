#!/usr/bin/env bash
# Runs the program against the virtual unit: installs and builds what is missing, starts
# tk530-sim on a pseudo-terminal, prepares a temporary program folder whose profile points at
# it and starts the control panel tk530 there. Without a display ($DISPLAY and
# $WAYLAND_DISPLAY unset) it says so and asks the unit for its identification, its status and
# its configuration with tk530ctl instead, printing what comes back. The virtual unit is
# stopped again at the end.
set -euo pipefail
cd "$(dirname "$0")"
JOBS=${JOBS:-2}

scripts/install-deps.sh >&2

# The same build as test.sh, so neither rebuilds the other's work for nothing.
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTK_WERROR=ON >&2
fi
have_display=
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    have_display=1
fi
targets=(tk530-sim tk530ctl)
[ -n "$have_display" ] && targets+=(tk530)
cmake --build build -j"$JOBS" --target "${targets[@]}" >&2

SIM=build/tools/sim/tk530-sim
CTL=build/tools/cli/tk530ctl
GUI=build/app/tk530

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

if [ -n "$have_display" ]; then
    # The control panel keeps its files beside its executable: a copy of it in the program
    # folder, with a profile for local access on the virtual unit's port (version 3 and the
    # connection record; the window record takes its defaults).
    cp "$GUI" "$work/program/tk530"
    {
        printf '\003\000\000\000\001\000\000\000\000'
        printf '%s' "$port"
        head -c $((19 - ${#port})) /dev/zero
        printf '\377\377\377\377'
    } >"$work/program/Profile.dat"
    echo "Starting the control panel (program folder $work/program); F2 goes online."
    "$work/program/tk530"
    exit 0
fi

echo "No display (\$DISPLAY and \$WAYLAND_DISPLAY are unset): the control panel needs one, so"
echo "here is the command-line companion against the same virtual unit instead."
echo "Pictures of the control panel: docs/screenshots/."

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
