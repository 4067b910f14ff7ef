#!/usr/bin/env bash
# Builds the IJG-API JPEG library from Debian's source package for both mingw targets.
# Output: <deps>/<triplet>/{include,lib}. Kept outside the clone so CI reuses it between runs.
set -euo pipefail

deps_dir=${1:?usage: build-jpeg.sh DEPS_DIR}
stamp_version=1
targets=(i686-w64-mingw32 x86_64-w64-mingw32)

done_all=1
for t in "${targets[@]}"; do
    [ "$(cat "$deps_dir/$t/.jpeg-stamp" 2>/dev/null)" = "$stamp_version" ] || done_all=0
done
[ $done_all = 1 ] && exit 0

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# apt-get source needs a deb-src entry; derive one from the binary entries of this machine.
if ! grep -rqs '^\(Types:.*deb-src\|deb-src \)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            as_root tee /etc/apt/sources.list.d/kq-deb-src.sources >/dev/null
    else
        grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
            as_root tee /etc/apt/sources.list.d/kq-deb-src.list >/dev/null
    fi
    as_root apt-get update -qq
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq --download-only libjpeg-turbo >/dev/null 2>&1 || apt-get source -qq --download-only libjpeg-turbo)
(cd "$work" && dpkg-source -x --no-check ./*.dsc src >/dev/null)

for t in "${targets[@]}"; do
    cat >"$work/$t.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${t%%-*})
set(CMAKE_C_COMPILER $t-gcc)
set(CMAKE_RC_COMPILER $t-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$t)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
EOF
    rm -rf "$deps_dir/$t/include/jpeglib.h"
    cmake -S "$work/src" -B "$work/build-$t" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$work/$t.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$deps_dir/$t" -DCMAKE_INSTALL_LIBDIR="$deps_dir/$t/lib" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON >/dev/null
    cmake --build "$work/build-$t" >/dev/null
    cmake --install "$work/build-$t" >/dev/null
    echo "$stamp_version" >"$deps_dir/$t/.jpeg-stamp"
    echo "build-jpeg: $t ready in $deps_dir/$t"
done
