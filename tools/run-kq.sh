#!/usr/bin/env bash
# Sets everything up, builds KQ (the x86_64 build: 32-bit programs cannot start on these machines) with the
# stand-in engine as its Bin\libcef.dll and starts it under 64-bit Wine, from its own folder as the
# installer's shortcuts do. Without a DISPLAY it runs inside Xvfb for a while, the screen is saved as a picture
# and the window is closed. What the engine saw is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset win64-test >/dev/null
cmake --build --preset win64-test --target KQ libcef
build=$(pwd)/build/win64-test
dir=$build/shell
mkdir -p "$dir/Bin"
cp "$build/testengine/libcef.dll" "$dir/Bin/libcef.dll"
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
record=$dir/engine-record.txt
rm -f "$record"
export STANDIN_RECORD_FILE="Z:${record//\//\\}"
echo "run-kq: starting $dir/KQ.exe under Wine"
status=0
tools/show-under-wine.sh "$dir" KQ.exe "$dir/kq-screen.png" "${KQ_SHOW_SECONDS:-15}" || status=$?
# The engine's renderer (KQ.exe started again) may still be finishing.
sleep 1
echo "run-kq: the engine's calls (process, thread, call, detail):"
cat "$record" 2>/dev/null || echo "  (none recorded)"
echo "run-kq: KQ ended with exit code $status"
exit $status
