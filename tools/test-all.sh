#!/usr/bin/env bash
# Sets everything up, builds the three configurations and runs every test. Exits non-zero on any build or
# test failure; the last line is CTest's summary over all configurations.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=${KQ_JOBS:-$(nproc)}

tools/setup.sh || { echo "test-all: set-up failed" >&2; exit 1; }

failed=0
total=0
failures=0
summaries=()
for preset in native win32 win64-test; do
    echo "=== $preset: configure and build"
    if ! cmake --preset "$preset" >"build-$preset.configure.log" 2>&1; then
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
    echo "=== $preset: test"
    log=$(mktemp)
    if [ "$preset" = win64-test ]; then
        # One Wine process at a time: several starting at once in one prefix on a loaded machine have
        # hung until the time-out.
        xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset" -j 1 2>&1 | tee "$log"
        status=${PIPESTATUS[0]}
        WINEPREFIX="$PWD/build/win64-test/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null
    else
        ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
        status=${PIPESTATUS[0]}
    fi
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
    while read -r target; do
        [ -n "$target" ] || continue
        name=$(basename "$target")
        corpus=$(mktemp -d)
        [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
        echo "=== fuzz: $name for ${fuzz_seconds}s"
        fuzz_total=$((fuzz_total + 1))
        if ! "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
            -artifact_prefix="$artifacts/" "$corpus" >"$corpus.log" 2>&1; then
            tail -n 60 "$corpus.log"
            echo "test-all: fuzz target $name failed" >&2
            fuzz_failed=$((fuzz_failed + 1))
        fi
        rm -rf "$corpus" "$corpus.log"
    done <build/fuzz/fuzz-targets.txt
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

echo "=== summary"
printf '%s\n' "${summaries[@]}"
[ $failures = 0 ] || failed=1
if [ $total -gt 0 ]; then
    echo "$(( (total - failures) * 100 / total ))% tests passed, $failures tests failed out of $total"
fi
exit $failed
