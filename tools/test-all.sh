#!/usr/bin/env bash
# Sets everything up, builds the three configurations and runs every test. Exits non-zero on any build or
# test failure; the last line is CTest's summary over all configurations, after the phases' times.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=${KQ_JOBS:-$(nproc)}
# Wine test programs mostly wait (timers, messages, start-up), so more of them run at once than there are
# cores; each in a worker slot of its own (tools/wine-run-tests.sh).
wine_workers=${KQ_WINE_WORKERS:-$((jobs * 2 < 3 ? 3 : jobs * 2 > 8 ? 8 : jobs * 2))}

times=()
phase_start=$SECONDS
# phase_done NAME: records the time since the previous phase ended.
phase_done() {
    times+=("$(printf '%-22s %4d s' "$1" $((SECONDS - phase_start)))")
    phase_start=$SECONDS
}

tools/setup.sh || { echo "test-all: set-up failed" >&2; exit 1; }
phase_done set-up

failed=0
total=0
failures=0
summaries=()
for preset in native win32 win64-test; do
    echo "=== $preset: configure and build"
    configure_args=()
    [ "$preset" != win64-test ] || configure_args=(-DKQ_WINE_WORKERS="$wine_workers")
    if ! cmake --preset "$preset" "${configure_args[@]}" >"build-$preset.configure.log" 2>&1; then
        cat "build-$preset.configure.log"
        echo "test-all: configuring $preset failed" >&2
        failed=1
        continue
    fi
    rm -f "build-$preset.configure.log"
    if ! cmake --build --preset "$preset" -j "$jobs"; then
        echo "test-all: building $preset failed" >&2
        failed=1
        continue
    fi
    phase_done "$preset build"
    echo "=== $preset: test"
    log=$(mktemp)
    if [ "$preset" = win64-test ]; then
        tools/wine-run-tests.sh 2>&1 | tee "$log"
        status=${PIPESTATUS[0]}
    else
        ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
        status=${PIPESTATUS[0]}
    fi
    phase_done "$preset test"
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    rm -f "$log"
    if [ -z "$line" ]; then
        echo "test-all: $preset ran no test" >&2
        failed=1
        continue
    fi
    summaries+=("$preset: $line")
    total=$((total + $(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")))
    failures=$((failures + $(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")))
    [ "$status" = 0 ] || failed=1
done

# Every fuzz target runs briefly on a copy of its seed corpus; a crash, leak or time-out fails the run.
echo "=== fuzz: configure and build"
if cmake --preset fuzz >build-fuzz.configure.log 2>&1 && cmake --build --preset fuzz -j "$jobs"; then
    rm -f build-fuzz.configure.log
    phase_done "fuzz build"
    # One fixed budget shared by every target, so adding targets does not lengthen CI.
    fuzz_budget=${KQ_FUZZ_BUDGET:-240}
    fuzz_count=$(grep -c . build/fuzz/fuzz-targets.txt || true)
    fuzz_seconds=$(( fuzz_count > 0 ? fuzz_budget / fuzz_count : 0 ))
    [ "$fuzz_seconds" -ge 15 ] || fuzz_seconds=15
    fuzz_seconds=${KQ_FUZZ_SECONDS:-$fuzz_seconds}
    fuzz_total=0
    fuzz_failed=0
    # A failing input is kept in the build tree, out of the sources, for the reproduction.
    artifacts=$PWD/build/fuzz/artifacts
    mkdir -p "$artifacts"
    runs=$(mktemp -d)
    # run_fuzz TARGET: one target on a copy of its seed corpus; leaves its log and a failure mark in $runs.
    run_fuzz() {
        local target=$1 name
        name=$(basename "$1")
        mkdir -p "$runs/$name.corpus"
        [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$runs/$name.corpus/"
        if ! "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
            -artifact_prefix="$artifacts/" "$runs/$name.corpus" >"$runs/$name.log" 2>&1; then
            touch "$runs/$name.failed"
        fi
        rm -rf "$runs/$name.corpus"
    }
    # Each target is single-threaded: as many run at once as there are cores, each for its full time.
    while read -r target; do
        [ -n "$target" ] || continue
        while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
        echo "=== fuzz: $(basename "$target") for ${fuzz_seconds}s"
        fuzz_total=$((fuzz_total + 1))
        run_fuzz "$target" &
    done <build/fuzz/fuzz-targets.txt
    wait
    for mark in "$runs"/*.failed; do
        [ -e "$mark" ] || continue
        name=$(basename "$mark" .failed)
        tail -n 60 "$runs/$name.log"
        echo "test-all: fuzz target $name failed" >&2
        fuzz_failed=$((fuzz_failed + 1))
    done
    rm -rf "$runs"
    phase_done "fuzz run"
    if [ $fuzz_total -gt 0 ]; then
        summaries+=("fuzz: $fuzz_total targets ran, $fuzz_failed failed")
        total=$((total + fuzz_total))
        failures=$((failures + fuzz_failed))
    fi
else
    cat build-fuzz.configure.log 2>/dev/null
    echo "test-all: building the fuzz targets failed" >&2
    failed=1
fi

echo "=== times"
printf '%s\n' "${times[@]}"
printf '%-22s %4d s\n' total "$SECONDS"
echo "=== summary"
printf '%s\n' "${summaries[@]}"
[ $failures = 0 ] || failed=1
if [ $total -gt 0 ]; then
    echo "$(( (total - failures) * 100 / total ))% tests passed, $failures tests failed out of $total"
fi
exit $failed
