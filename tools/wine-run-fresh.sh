#!/usr/bin/env bash
# Runs a program of the x86_64 build under Wine in a Wine prefix of its own, copied for this run from the
# build tree's prefix and removed after it: for tests that change the user's settings in the prefix (shell
# folders, registry values).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
KQ_WINE_FRESH=1 exec "$here/wine-run.sh" "$@"
