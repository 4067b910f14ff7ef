#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian machine, then builds the libraries that
# have no mingw package into a cache outside the clone. Safe to run again: finished steps are skipped.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
deps_dir=${KQ_DEPS_DIR:-/var/cache/kq-deps}

packages=(
    cmake ninja-build python3 file
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine64 xvfb xauth x11-apps imagemagick
    googletest libbenchmark-dev clang libclang-rt-14-dev
    libpixman-1-dev libcairo2-dev libxml2-dev libxml2-utils libpugixml-dev
    libz-mingw-w64-dev nasm dpkg-dev
    fonts-wqy-microhei libjpeg62-turbo-dev zlib1g-dev
)

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The posix thread model is the one that has std::thread; make it the default for both targets.
for t in i686-w64-mingw32 x86_64-w64-mingw32; do
    for tool in gcc g++; do
        as_root update-alternatives --set "$t-$tool" "/usr/bin/$t-$tool-posix" >/dev/null 2>&1 || true
    done
done

"$here/build-jpeg.sh" "$deps_dir"
