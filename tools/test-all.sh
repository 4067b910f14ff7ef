#!/usr/bin/env bash
# Sets everything up, builds every configuration and runs every test: the x86_64 build first, then its
# Wine tests beside the native, i686 and fuzz builds, then the fuzz targets. Exits non-zero on any build
# or test failure; the last line is CTest's summary over all configurations, after the phases' times.
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
# Commands of the builds that share the cores with the Wine tests run with this prefix.
low=()

# build PRESET [CONFIGURE ARGS...]: configures and builds one configuration; non-zero on failure.
build() {
    local preset=$1
    shift
    echo "=== $preset: configure and build"
    if ! "${low[@]}" cmake --preset "$preset" "$@" >"build-$preset.configure.log" 2>&1; then
        cat "build-$preset.configure.log"
        echo "test-all: configuring $preset failed" >&2
        return 1
    fi
    rm -f "build-$preset.configure.log"
    if ! "${low[@]}" cmake --build --preset "$preset" -j "$jobs"; then
        echo "test-all: building $preset failed" >&2
        return 1
    fi
}

# summarise PRESET LOG STATUS: counts a test run's CTest summary line.
summarise() {
    local preset=$1 log=$2 status=$3 line
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        echo "test-all: $preset ran no test" >&2
        failed=1
        return
    fi
    summaries+=("$preset: $line")
    total=$((total + $(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")))
    failures=$((failures + $(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")))
    [ "$status" = 0 ] || failed=1
}

# The x86_64 build first: its Wine tests mostly wait (timers, messages, program start-up) and keep under
# one core busy, so the other configurations are built and tested beside them, at the lowest priority,
# where they take only the time the Wine tests leave.
wine_log=$(mktemp)
wine_pid=
if build win64-test -DKQ_WINE_WORKERS="$wine_workers"; then
    phase_done "win64-test build"
    echo "=== win64-test: test (its output follows the native and win32 phases)"
    (
        started=$SECONDS
        tools/wine-run-tests.sh >"$wine_log" 2>&1
        status=$?
        echo $((SECONDS - started)) >"$wine_log.seconds"
        exit $status
    ) &
    wine_pid=$!
    low=(nice -n 19)
else
    failed=1
fi

for preset in native win32; do
    if ! build "$preset"; then
        failed=1
        continue
    fi
    phase_done "$preset build"
    echo "=== $preset: test"
    log=$(mktemp)
    "${low[@]}" ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    phase_done "$preset test"
    summarise "$preset" "$log" "$status"
    rm -f "$log"
done

# Every fuzz target runs briefly on a copy of its seed corpus; a crash, leak or time-out fails the run.
echo "=== fuzz: configure and build"
fuzz_built=0
if "${low[@]}" cmake --preset fuzz >build-fuzz.configure.log 2>&1 && "${low[@]}" cmake --build --preset fuzz -j "$jobs"; then
    rm -f build-fuzz.configure.log
    fuzz_built=1
    phase_done "fuzz build"
fi

# The fuzz targets run for a fixed time each, so they run once the Wine tests have ended.
if [ -n "$wine_pid" ]; then
    wait "$wine_pid"
    status=$?
    phase_done "waiting for Wine"
    times+=("$(printf '%-22s %4d s (beside the phases from native build on)' "win64-test test" "$(cat "$wine_log.seconds")")")
    echo "=== win64-test: test"
    cat "$wine_log"
    summarise win64-test "$wine_log" "$status"
fi
rm -f "$wine_log" "$wine_log.seconds"

if [ $fuzz_built = 1 ]; then
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
