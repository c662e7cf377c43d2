#!/usr/bin/env bash
# Installs what is missing, checks the source format, runs clang-tidy on the core, builds, and
# runs every test:
#   1. the whole project with warnings as errors, and all its tests (the window program's
#      GUI tests, label gui, on the offscreen platform among them, and the package test:
#      install, run the installed programs, build the .deb, lintian);
#   1b. smoke scenarios of the window program under a real X server (Xvfb, the openbox
#      window manager, real keys and clicks from xdotool; scripts/xsmoke.sh);
#   2. the tests again under AddressSanitizer and UndefinedBehaviorSanitizer (gui included);
#   3. the tests with threads (link engine, virtual unit, end to end) under ThreadSanitizer
#      (not gui: Qt's own hand-over between threads is invisible to ThreadSanitizer);
#   4. the fuzz targets (clang, libFuzzer), FUZZ_SECONDS each (20 by default; scripts/fuzz.sh).
# Benchmarks are built but not run here (ctest -L bench runs them). At the end (also when a
# stage fails) it checks that no process it started is still running, and fails naming them.
# With ccache installed (the install script brings it), unchanged files are not compiled again.
set -euo pipefail
cd "$(dirname "$0")"
JOBS=${JOBS:-2}

RUN_MARK=$(scripts/leftovers.sh mark)
check_leftovers() {
    local rc=$?
    if ! scripts/leftovers.sh check "$RUN_MARK"; then
        echo "== the test run left processes running" >&2
        [ $rc -eq 0 ] && rc=1
    fi
    exit $rc
}
trap check_leftovers EXIT

scripts/install-deps.sh

echo "== source format (.clang-format)"
# Every C++ file as clang-format leaves it: a change that was not formatted fails here first.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER-$(command -v ccache || true)}
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER-$(command -v ccache || true)}
# Trees in other folders (worktrees, a fresh clone) share the compiled files.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}

cmake --preset normal >/dev/null # the trees are CMakePresets.json's, by name
echo "== clang-tidy on the core (.clang-tidy)"
TIDY_JOBS="$JOBS" scripts/tidy.sh build

echo "== build (warnings as errors)"
cmake --build build -j"$JOBS"
ctest --test-dir build -LE 'bench|xsmoke' -j"$JOBS" --output-on-failure

echo "== smoke scenarios under a real X server (Xvfb, openbox, xdotool)"
ctest --test-dir build -L xsmoke --output-on-failure

echo "== tests again under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build-asan -j"$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -LE 'bench|xsmoke' -j"$JOBS" --output-on-failure

echo "== link engine, virtual unit and end-to-end tests under ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build build-tsan -j"$JOBS" --target tsan-tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build-tsan -L 'engine|sim|e2e' -j"$JOBS" --output-on-failure

echo "== fuzz targets under AddressSanitizer + UndefinedBehaviorSanitizer"
FUZZ_SECONDS=${FUZZ_SECONDS:-20} JOBS="$JOBS" scripts/fuzz.sh

scripts/leftovers.sh check "$RUN_MARK"
echo "== all tests passed"
