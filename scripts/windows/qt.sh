#!/usr/bin/env bash
# Qt 6 (qt6-base 6.4.2, Debian's source) for 64-bit Windows, static, into
# DEPS/qt6-base-6.4.2-mingw. Taken from the cache beside the checkout
# (shared/windows/, or MARROWIX_QT_CACHE: the tarball, its checksum checked)
# when there is one; otherwise built from Debian's source package, which
# takes about an hour on two cores.
# Usage: qt.sh DEPS
set -euo pipefail

deps=$(realpath -m "$1")
root=$(realpath "$(dirname "$0")/../..")
name=qt6-base-6.4.2-mingw
tarball=qt6-base-6.4.2-x86_64-w64-mingw32-static.tar.xz
sha256=6afed6fef4f53149bc9a44252d3ec9b4d32118a903b41787e08b2055a24b5424
prefix="$deps/$name"
if [[ -e $prefix/.complete ]]; then
    exit 0
fi
rm -rf "$prefix"
mkdir -p "$deps"

cache=${MARROWIX_QT_CACHE:-$root/../shared/windows/$tarball}
if [[ -f $cache ]]; then
    echo "Qt for Windows: from $(basename "$cache")"
    if ! echo "$sha256  $cache" | sha256sum --check --status; then
        echo "error: $cache is not the Qt build it should be (its SHA-256 differs)" >&2
        exit 1
    fi
    tar -xJf "$cache" -C "$deps"
    touch "$prefix/.complete"
    exit 0
fi

echo "Qt for Windows: no cache; building it from Debian's source (about an hour)"
work="$deps/qt-src"
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && apt-get source -qq qt6-base=6.4.2+dfsg-10 >/dev/null 2>&1 ||
    apt-get source -qq qt6-base >/dev/null)
src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)
patch -d "$src" -p0 <"$root/scripts/windows/qt6-base-directwrite3-needs-direct2d.patch"
mkdir -p "$work/build"
cd "$work/build"
"$src/configure" -prefix "$prefix" -xplatform win32-g++ -qt-host-path /usr \
    -release -static -static-runtime -nomake examples -nomake tests \
    -no-opengl -no-feature-vulkan -no-dbus -no-feature-direct2d \
    -no-feature-tabletevent -no-feature-sql -no-feature-network \
    -no-feature-printsupport -no-feature-testlib -no-feature-concurrent \
    -no-feature-xml -no-feature-androiddeployqt -qt-zlib -qt-libpng \
    -no-libjpeg -no-freetype -qt-harfbuzz -qt-pcre -qt-doubleconversion \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR=
cmake --build . --parallel "$(nproc)"
cmake --install .
cd "$deps"
rm -rf "$work"
touch "$prefix/.complete"
