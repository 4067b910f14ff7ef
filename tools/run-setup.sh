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
tools/show-under-wine.sh "$dir" TessaroSetup.exe "$dir/setup-screen.png" "${SETUP_SHOW_SECONDS:-10}" || status=$?
echo "run-setup: TessaroSetup ended with exit code $status"
exit $status
