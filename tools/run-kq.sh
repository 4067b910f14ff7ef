#!/usr/bin/env bash
# Sets everything up, builds KQ (the x86_64 build: 32-bit programs cannot start on these machines) and
# starts it under 64-bit Wine. Without a DISPLAY it runs inside Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset win64-test >/dev/null
cmake --build --preset win64-test --target KQ
exe=build/win64-test/shell/KQ.exe
echo "run-kq: starting $exe under Wine"
status=0
tools/wine-run.sh "$exe" || status=$?
echo "run-kq: KQ ended with exit code $status"
exit $status
