#!/usr/bin/env bash
# Runs a program of the x86_64 build under 64-bit Wine (32-bit programs cannot start on these machines).
# The prefix is private to the build tree unless WINEPREFIX is set. The build tree makes one prefix once
# (<build>/wineprefix-template, with fonts that cover Chinese text) and copies it for each use:
# <build>/wineprefix for runs by hand, <build>/wineprefix-<slot> for the worker slot CTest gives a test
# (CTEST_RESOURCE_GROUP_0_WINE), and a copy made for one run and removed after it when KQ_WINE_FRESH=1
# (tools/wine-run-fresh.sh). A slot runs on the X display KQ_DISPLAY_<slot> names, when set; without any
# DISPLAY the program runs inside its own Xvfb.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=${1:?usage: wine-run.sh PROGRAM.exe [ARGS...]}
shift

export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts, no desktop entries made from shortcuts, and no debugger for a program that
# crashes: started on a screen nobody reads, it waited for ever; without it the program ends at once,
# with a failure status and Wine's one-line report of the fault.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
wine=/usr/lib/wine/wine64

# The settings every prefix gets (tools/wine-*.reg): fonts that cover Chinese text, and KQ's windows
# placed by Wine itself, as there is no window manager here.
settings=$(ls "$here"/wine-*.reg | sort)
# A prefix made from other settings is made again.
stamp=$(cat $settings | md5sum | cut -d' ' -f1)

# make_prefix DIR: a new prefix in DIR with the settings imported.
make_prefix() {
    (
        export WINEPREFIX=$1
        rm -rf "$WINEPREFIX"
        "$wine" wineboot --init >/dev/null 2>&1
        for file in $settings; do
            # regedit reads non-ASCII names only from UTF-16LE files with a byte-order mark.
            reg="$WINEPREFIX/kq-$(basename "$file")"
            { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$file"; } >"$reg"
            "$wine" regedit /S "$reg" >/dev/null 2>&1
        done
        /usr/lib/wine/wineserver -w
    )
}

# ready_prefix DIR [TEMPLATE]: makes DIR once (a copy of TEMPLATE when given), under a lock.
ready_prefix() {
    local dir=$1 template=${2:-}
    [ "$(cat "$dir/.kq-ready" 2>/dev/null)" = "$stamp" ] && return 0
    mkdir -p "$(dirname "$dir")"
    (
        flock 9
        if [ "$(cat "$dir/.kq-ready" 2>/dev/null)" != "$stamp" ]; then
            if [ -n "$template" ]; then
                rm -rf "$dir"
                cp -a "$template" "$dir"
            else
                make_prefix "$dir"
            fi
            echo "$stamp" >"$dir/.kq-ready"
        fi
    ) 9>"$dir.lock"
}

slot=
if [ -n "${CTEST_RESOURCE_GROUP_0_WINE:-}" ]; then
    slot=${CTEST_RESOURCE_GROUP_0_WINE#id:}
    slot=${slot%%,*}
    display_var=KQ_DISPLAY_$slot
    [ -z "${!display_var:-}" ] || export DISPLAY=${!display_var}
fi

fresh=${KQ_WINE_FRESH:-}
if [ -z "${WINEPREFIX:-}" ]; then
    d=$(cd "$(dirname "$exe")" && pwd)
    while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
    if [ ! -f "$d/CMakeCache.txt" ]; then
        echo "wine-run: $exe is not inside a build tree; set WINEPREFIX" >&2
        exit 2
    fi
    template="$d/wineprefix-template"
    ready_prefix "$template"
    if [ "$fresh" = 1 ]; then
        prefix=
    elif [ -n "$slot" ]; then
        prefix="$d/wineprefix-$slot"
    else
        prefix="$d/wineprefix"
    fi
else
    template=
    prefix=$WINEPREFIX
fi

if [ "$fresh" = 1 ]; then
    run=$(mktemp -d "${TMPDIR:-/tmp}/kq-wine.XXXXXX")
    export WINEPREFIX="$run/prefix"
    finish() {
        /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
        rm -rf "$run"
    }
    trap finish EXIT
    if [ -n "$template" ]; then cp -a "$template" "$WINEPREFIX"; else make_prefix "$WINEPREFIX"; fi
    status=0
    if [ -z "${DISPLAY:-}" ]; then
        xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$exe" "$@" || status=$?
    else
        "$wine" "$exe" "$@" || status=$?
    fi
    exit $status
fi

export WINEPREFIX=$prefix
ready_prefix "$WINEPREFIX" "$template"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$exe" "$@"
fi
exec "$wine" "$exe" "$@"
