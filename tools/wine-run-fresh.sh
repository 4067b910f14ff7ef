#!/usr/bin/env bash
# Runs a program of the x86_64 build under Wine in a Wine prefix of its own, made for this run and removed
# after it: for tests that change the user's settings in the prefix (shell folders, registry values).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
run=$(mktemp -d "${TMPDIR:-/tmp}/kq-wine.XXXXXX")
export WINEPREFIX="$run/prefix"
finish() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    rm -rf "$run"
}
trap finish EXIT
status=0
"$here/wine-run.sh" "$@" || status=$?
exit $status
