#!/usr/bin/env bash
# KQ's start from a cold Wine (its server and services stopped before each start, as after a log-in) to its
# first page on the screen, against the bare program's, alternately: each start is timed from the command
# until the X screen's centre shows the stand-in's first page colour (read with ImageMagick's import, about
# every 50 ms). Usage: bench/shell/cold_start.sh [runs]; build shell_startup_bench first (README.md).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-5}
bench=$(pwd)/build/win64-test/bench/shell
work=$(mktemp -d "${TMPDIR:-/tmp}/kq-cold.XXXXXX")
export WINEARCH=win64 WINEDEBUG=-all WINEPREFIX=$work/prefix
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d"
cp -a build/win64-test/wineprefix-template "$WINEPREFIX"
mkdir -p "$work/app/Bin"
cp "$bench/KQ.exe" "$bench/bare_window.exe" "$work/app/"
cp "$bench/libcef.dll" "$work/app/Bin/"
display=:$((200 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
finish() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb"
    rm -rf "$work"
}
trap finish EXIT
export DISPLAY=$display
sleep 1
centre() { import -window root -crop 1x1+640+512 -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -1; }

# time_start PROGRAM: sets ms to the milliseconds from the command to the page colour on the screen. Not
# called in a command substitution: its subshell would run the EXIT trap and stop the X server.
time_start() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    sleep 0.5
    local start end
    ms=0
    start=$(date +%s%N)
    (cd "$work/app" && /usr/lib/wine/wine64 "$1" >/dev/null 2>&1 &)
    until [ "$(centre)" = "#E53935" ]; do
        if (($(date +%s%N) - start > 60000000000)); then
            echo "$1 showed no page within 60 s" >&2
            exit 1
        fi
    done
    end=$(date +%s%N)
    ms=$(((end - start) / 1000000))
}

kq=() bare=()
for ((i = 0; i < runs; i++)); do
    if ((i % 2 == 0)); then
        time_start KQ.exe && kq+=("$ms")
        time_start bare_window.exe && bare+=("$ms")
    else
        time_start bare_window.exe && bare+=("$ms")
        time_start KQ.exe && kq+=("$ms")
    fi
    echo "run $((i + 1)): KQ ${kq[-1]} ms, bare ${bare[-1]} ms, KQ's own $((kq[-1] - bare[-1])) ms"
done
summary() { # NAME VALUES...
    local name=$1
    shift
    sort -n <<<"$(printf '%s\n' "$@")" | awk -v name="$name" '{v[NR] = $1} END {
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%-28s min %6d  median %6d  max %6d ms\n", name, v[1], m, v[NR] }'
}
own=()
for ((i = 0; i < runs; i++)); do own+=($((kq[i] - bare[i]))); done
echo "$runs runs of each, load average $(cut -d' ' -f1-3 /proc/loadavg)"
summary "KQ to its first page" "${kq[@]}"
summary "bare program to its window" "${bare[@]}"
summary "KQ's own share (difference)" "${own[@]}"
