#!/usr/bin/env bash
# Runs a program of the x86_64 build under 64-bit Wine (32-bit programs cannot start on these machines).
# The prefix is private to the build tree (<build>/wineprefix) unless WINEPREFIX is set, and is created
# once, with fonts that cover Chinese text. Without a DISPLAY the program runs inside its own Xvfb.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=${1:?usage: wine-run.sh PROGRAM.exe [ARGS...]}
shift

if [ -z "${WINEPREFIX:-}" ]; then
    d=$(cd "$(dirname "$exe")" && pwd)
    while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
    if [ ! -f "$d/CMakeCache.txt" ]; then
        echo "wine-run: $exe is not inside a build tree; set WINEPREFIX" >&2
        exit 2
    fi
    WINEPREFIX="$d/wineprefix"
fi
export WINEPREFIX
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts, no desktop entries made from shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
wine=/usr/lib/wine/wine64

if [ ! -f "$WINEPREFIX/.kq-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.kq-ready" ]; then
            rm -rf "$WINEPREFIX"
            "$wine" wineboot --init >/dev/null 2>&1
            # regedit reads non-ASCII names only from UTF-16LE files with a byte-order mark.
            reg="$WINEPREFIX/kq-fonts.reg"
            { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$here/wine-fonts.reg"; } >"$reg"
            "$wine" regedit /S "$reg" >/dev/null 2>&1
            /usr/lib/wine/wineserver -w
            touch "$WINEPREFIX/.kq-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$exe" "$@"
fi
exec "$wine" "$exe" "$@"
