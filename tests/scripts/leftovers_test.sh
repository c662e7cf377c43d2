#!/usr/bin/env bash
# The test run's leftover check: a program started after the mark and still running is named,
# ended and fails the check; one started before the mark, or outside the watched folders, is
# left alone; a second check then passes.
# Usage: leftovers_test.sh SOURCE_DIR
set -euo pipefail
CHECK=$1/scripts/leftovers.sh
T=$(mktemp -d /tmp/leftovers-test.XXXXXX)
pids=()
cleanup() {
    kill "${pids[@]}" 2>/dev/null || true
    rm -rf "$T"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
mkdir "$T/watched" "$T/other"
cp "$(command -v sleep)" "$T/watched/tk530-sim"
cp "$(command -v sleep)" "$T/other/tk530-sim"
export LEFTOVER_PATHS="$T/watched/" LEFTOVER_HELPERS=""

"$T/watched/tk530-sim" 60 &
before=$!
pids+=("$before")
sleep 0.05
mark=$("$CHECK" mark)
sleep 0.05
"$T/watched/tk530-sim" 60 &
after=$!
"$T/other/tk530-sim" 60 &
elsewhere=$!
pids+=("$after" "$elsewhere")

out=$("$CHECK" check "$mark" 2>&1) && fail "a leftover passed the check: $out"
grep -qF "tk530-sim (pid $after" <<<"$out" || fail "the leftover is not named: $out"
grep -qF "pid $before" <<<"$out" && fail "a program started before the mark is named: $out"
grep -qF "pid $elsewhere" <<<"$out" && fail "a program outside the watched folders is named: $out"
wait "$after" 2>/dev/null || true
kill -0 "$after" 2>/dev/null && fail "the leftover still runs"
kill -0 "$before" 2>/dev/null || fail "the program started before the mark was ended"
kill -0 "$elsewhere" 2>/dev/null || fail "the program outside the watched folders was ended"
out=$("$CHECK" check "$mark" 2>&1) || fail "the check fails with nothing left: $out"
echo "leftovers test passed"
