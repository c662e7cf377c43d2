#!/usr/bin/env bash
# Finds the processes a test run left running.
#
#   scripts/leftovers.sh mark          prints the moment to compare with (clock ticks since boot)
#   scripts/leftovers.sh check MARK    names every process of this project started since MARK
#                                      that still runs, ends it, and exits 1; exits 0 when none
#
# A process counts as the project's when its program lies in this checkout (a build tree's
# programs and tests), in a temporary folder of the tests (/tmp/tk530-*: the package test's
# installed copies), or is one of the helpers the tests start (a display server, a window
# manager, a serial device server). Processes started before MARK are never touched, so a
# control panel the developer left open is not counted. LEFTOVER_PATHS (folders, blank
# separated) and LEFTOVER_HELPERS (program names) replace those lists, for the script's own test.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PATHS=${LEFTOVER_PATHS-"$ROOT/ /tmp/tk530-"}
HELPERS=" ${LEFTOVER_HELPERS-Xvfb Xorg openbox ser2net xdotool} "

# The 22nd field of /proc/PID/stat, counted after the command name, which may hold blanks.
start_ticks() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    set -- $stat
    echo "${20}"
}

case "${1:-}" in
mark)
    start_ticks "$BASHPID"
    ;;
check)
    mark=${2:?mark missing}
    found=()
    for dir in /proc/[0-9]*; do
        pid=${dir#/proc/}
        [ "$pid" = "$$" ] || [ "$pid" = "$BASHPID" ] && continue
        ticks=$(start_ticks "$pid") || continue
        [ "$ticks" -ge "$mark" ] || continue
        exe=$(readlink "$dir/exe" 2>/dev/null) || continue
        comm=$(cat "$dir/comm" 2>/dev/null) || continue
        ours=no
        for p in $PATHS; do
            [[ "$exe" == "$p"* ]] && ours=yes
        done
        [[ "$HELPERS" == *" $comm "* ]] && ours=yes
        [ $ours = yes ] || continue
        found+=("$pid")
        echo "left running: $comm (pid $pid, $exe): $(tr '\0' ' ' <"$dir/cmdline" 2>/dev/null)" >&2
    done
    [ ${#found[@]} -eq 0 ] && exit 0
    kill "${found[@]}" 2>/dev/null || true
    sleep 1
    kill -KILL "${found[@]}" 2>/dev/null || true
    echo "${#found[@]} process(es) of the test run were still running (ended now)." >&2
    exit 1
    ;;
*)
    echo "usage: $0 mark | check MARK" >&2
    exit 2
    ;;
esac
