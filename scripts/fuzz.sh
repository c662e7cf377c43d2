#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (folder build-fuzz) and runs each for FUZZ_SECONDS seconds.
#
#   scripts/fuzz.sh                        every target, 20 s each (what ./test.sh runs)
#   FUZZ_SECONDS=600 scripts/fuzz.sh       a longer search
#   scripts/fuzz.sh cfg_file sms_store     only these targets
#   scripts/fuzz.sh --seeds                writes the seed corpora tests/fuzz/corpus again
#
# Each run starts from a scratch copy of the committed seeds (build-fuzz/corpus/<target>), so
# the committed folders never change; what a run adds stays in the scratch folder. Any crash,
# leak, time-out or broken invariant fails the script; the input that caused it is left in
# build-fuzz/artifacts and the fuzzer's output in build-fuzz/logs. To replay an input:
#   build-fuzz/tests/fuzz/fuzz_<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-20}
JOBS=${JOBS:-2}
BUILD=${FUZZ_BUILD:-build-fuzz}
CORPUS=tests/fuzz/corpus
ALL_TARGETS=(frame_decoder dev_status sms_reply cfg_file cfg_json profile connections sms_store
    modem_list hayes_reader)

# The longest input each target is given: a little more than the largest sound one.
declare -A MAX_LEN=(
    [frame_decoder]=1200 [dev_status]=1024 [sms_reply]=256 [cfg_file]=2048 [cfg_json]=65536
    [profile]=128 [connections]=3000 [sms_store]=12000 [modem_list]=4096 [hayes_reader]=1024
)

echo "== fuzz targets: configure and build ($BUILD)"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTK_FUZZ=ON -DTK_WERROR=OFF \
    -DTK_BUILD_TESTS=OFF -DTK_BUILD_BENCH=OFF -DTK_BUILD_TOOLS=ON -DTK_BUILD_GUI=OFF >/dev/null
# The fuzz targets and the seed writer (which asks the virtual unit for its replies). The
# core's warnings are errors in the g++ build; here only the fuzz code's own are.
build_targets=(tk_fuzz_seeds)
for t in "${ALL_TARGETS[@]}"; do build_targets+=("fuzz_$t"); done
cmake --build "$BUILD" -j"$JOBS" --target "${build_targets[@]}"

if [ "${1:-}" = "--seeds" ]; then
    "$BUILD/tests/fuzz/tk_fuzz_seeds" "$CORPUS"
    echo "== seeds written to $CORPUS"
    exit 0
fi

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${ALL_TARGETS[@]}")

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$BUILD/artifacts" "$BUILD/logs"
failed=()
summary=()
for t in "${targets[@]}"; do
    bin="$BUILD/tests/fuzz/fuzz_$t"
    [ -x "$bin" ] || { echo "no fuzz target '$t'" >&2; exit 2; }
    scratch="$BUILD/corpus/$t"
    rm -rf "$scratch"
    mkdir -p "$scratch"
    [ -d "$CORPUS/$t" ] && cp "$CORPUS/$t"/* "$scratch"/
    log="$BUILD/logs/$t.log"
    echo "== fuzz_$t for ${FUZZ_SECONDS}s"
    if "$bin" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
        -max_len="${MAX_LEN[$t]:-4096}" -print_final_stats=1 \
        -artifact_prefix="$BUILD/artifacts/$t-" "$scratch" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
        summary+=("$(printf '%-16s %12s executions' "$t" "${runs:-?}")")
    else
        failed+=("$t")
        summary+=("$(printf '%-16s FAILED (see %s)' "$t" "$log")")
        echo "---- fuzz_$t failed; the end of its output:"
        tail -n 60 "$log"
    fi
done

echo "== fuzz summary (${FUZZ_SECONDS}s per target)"
printf '  %s\n' "${summary[@]}"
if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz targets failed: ${failed[*]}; inputs in $BUILD/artifacts" >&2
    exit 1
fi
