#!/usr/bin/env bash
# Sets everything up, builds TessaroSetup (the x86_64 build: 32-bit programs cannot start on these machines)
# with the payload of this build and starts it under 64-bit Wine. Without a DISPLAY it runs inside Xvfb for
# a while, the screen is saved as a picture (build/win64-test/installer/setup-screen.png) and the window is
# closed.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -n "${KQ_SKIP_SETUP:-}" ] || tools/setup.sh
cmake --preset win64-test >/dev/null
cmake --build --preset win64-test --target TessaroSetup
build=$(pwd)/build/win64-test
dir=$build/installer
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
echo "run-setup: starting $dir/TessaroSetup.exe under Wine"
status=0
if [ -n "${DISPLAY:-}" ]; then
    # On a desktop the installer runs until its window is closed.
    (cd "$dir" && "$OLDPWD/tools/wine-run.sh" ./TessaroSetup.exe) || status=$?
else
    # Headless: the installer runs on a virtual screen of its own; once its window has been up a while the
    # screen is saved as a picture and the program is ended.
    shot=$dir/setup-screen.png
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
        cd "$1" && "$2/tools/wine-run.sh" ./TessaroSetup.exe & app=$!
        sleep "${SETUP_SHOW_SECONDS:-10}"
        xwd -root -silent | convert xwd:- "png:$3" && echo "run-setup: the screen is in $3"
        WINEDEBUG=-all /usr/lib/wine/wine64 taskkill /im TessaroSetup.exe >/dev/null 2>&1 || true
        wait $app' run-setup "$dir" "$(pwd)" "$shot" || status=$?
fi
echo "run-setup: TessaroSetup ended with exit code $status"
exit $status
