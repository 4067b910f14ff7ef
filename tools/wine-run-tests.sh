#!/usr/bin/env bash
# Runs the x86_64 build's tests under Wine, several programs at once: CTest gives each running test a
# worker slot (build/win64-test/wine-workers.json), and each slot has a Wine prefix (tools/wine-run.sh)
# and an X server of its own, so real input, focus and screen reads of one test never meet another's.
# usage: tools/wine-run-tests.sh [CTEST ARGS...]; exits with CTest's status.
set -uo pipefail
cd "$(dirname "$0")/.."
build=build/win64-test
workers=$(sed -n 's/^KQ_WINE_WORKERS:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null)
if [ -z "$workers" ]; then
    echo "wine-run-tests: $build is not configured" >&2
    exit 2
fi

run=$(mktemp -d "${TMPDIR:-/tmp}/kq-wine-tests.XXXXXX")
servers=()
finish() {
    for i in $(seq 0 $((workers - 1))); do
        [ -d "$build/wineprefix-w$i" ] &&
            WINEPREFIX="$PWD/$build/wineprefix-w$i" /usr/lib/wine/wineserver -k >/dev/null 2>&1
    done
    [ ${#servers[@]} -eq 0 ] || kill "${servers[@]}" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$run"
}
trap finish EXIT

for i in $(seq 0 $((workers - 1))); do
    # The server picks a free display itself and writes its number once it accepts clients.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$run/display-$i" >"$run/xvfb-$i.log" 2>&1 &
    servers+=($!)
done
for i in $(seq 0 $((workers - 1))); do
    for _ in $(seq 100); do
        [ -s "$run/display-$i" ] && break
        sleep 0.1
    done
    n=$(head -n 1 "$run/display-$i")
    if [ -z "$n" ]; then
        cat "$run/xvfb-$i.log" >&2
        echo "wine-run-tests: X server $i did not start" >&2
        exit 2
    fi
    export "KQ_DISPLAY_w$i=:$n"
done
unset DISPLAY

status=0
ctest --preset win64-test -j "$workers" "$@" || status=$?
exit $status
