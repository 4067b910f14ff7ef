#!/usr/bin/env bash
# Starts a built program under 64-bit Wine from its own folder. On a desktop it runs until its window is
# closed. Headless it runs on a virtual screen of its own; once its window has been up a while the screen is
# saved as a picture and the program is ended, as a person would close it.
# usage: tools/show-under-wine.sh FOLDER PROGRAM.exe PICTURE SECONDS; exits with the program's status.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1 exe=$2 shot=$3 seconds=$4
if [ -n "${DISPLAY:-}" ]; then
    cd "$dir" && exec "$root/tools/wine-run.sh" "./$exe"
fi
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    cd "$1" && "$2/tools/wine-run.sh" "./$3" & app=$!
    sleep "$5"
    xwd -root -silent | convert xwd:- "png:$4" && echo "the screen is in $4"
    WINEDEBUG=-all /usr/lib/wine/wine64 taskkill /im "$3" >/dev/null 2>&1 || true
    wait $app' show "$dir" "$root" "$exe" "$shot" "$seconds"
