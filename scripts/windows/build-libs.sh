#!/usr/bin/env bash
# Cross-builds, static for 64-bit Windows, the libraries Debian ships only for
# Linux: libdeflate, libsquish, libpng and libjpeg-turbo, each from its Debian
# source package.
# Usage: build-libs.sh PREFIX. What is already built (PREFIX/.built-VERSIONS)
# is kept.
set -euo pipefail

prefix=$(realpath -m "$1")
triple=x86_64-w64-mingw32
toolchain=$(realpath "$(dirname "$0")/../../cmake/mingw-w64-x86_64.cmake")
# libpng: the security suite lists a newer version whose source is not served.
sources=(libdeflate libsquish libpng1.6=1.6.39-2+deb12u5 libjpeg-turbo)
stamp="$prefix/.built-${sources[*]// /_}"
stamp=${stamp// /_}
if [[ -e $stamp ]]; then
    exit 0
fi

work="$prefix/src"
rm -rf "$work"
mkdir -p "$work" "$prefix/lib" "$prefix/include"
cd "$work"
apt-get source -qq "${sources[@]}" >/dev/null
jobs=$(nproc)

echo "== libdeflate =="
(
    cd libdeflate-*/
    if [[ -e CMakeLists.txt ]]; then
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DLIBDEFLATE_BUILD_SHARED_LIB=OFF -DLIBDEFLATE_BUILD_GZIP=OFF \
            -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
        cmake --build build -j"$jobs" >/dev/null
        cmake --install build >/dev/null
    else
        # For MinGW its Makefile names the static library libdeflatestatic.lib.
        make -s -j"$jobs" libdeflatestatic.lib CC=$triple-gcc-posix AR=$triple-gcc-ar-posix \
            CFLAGS="-O2"
        cp libdeflatestatic.lib "$prefix/lib/libdeflate.a"
        cp libdeflate.h "$prefix/include/"
    fi
)

echo "== libsquish =="
(
    cd libsquish-*/
    # SSE2 on, as Debian's own build has it, so that DXT5 output is the same.
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DBUILD_SHARED_LIBS=OFF -DBUILD_SQUISH_WITH_OPENMP=OFF -DBUILD_SQUISH_WITH_SSE2=ON \
        -DBUILD_SQUISH_EXTRA=OFF -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build build -j"$jobs" >/dev/null
    cmake --install build >/dev/null
)

echo "== libpng =="
(
    cd libpng1.6-*/
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
        -DZLIB_LIBRARY=/usr/$triple/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$triple/include \
        -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build build -j"$jobs" >/dev/null
    cmake --install build >/dev/null
)

echo "== libjpeg-turbo =="
(
    cd libjpeg-turbo-*/
    # The libjpeg 6.2 interface Debian's libjpeg62-turbo gives, with its
    # SIMD code (nasm).
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_SYSTEM_PROCESSOR=AMD64 \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
        -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build build -j"$jobs" >/dev/null
    cmake --install build >/dev/null
)

# Each package's licence, for the notices the Windows packages carry.
mkdir -p "$prefix/licenses"
for dir in libdeflate-*/ libsquish-*/ libpng1.6-*/ libjpeg-turbo-*/; do
    name=${dir%%-*}
    cp "$dir/debian/copyright" "$prefix/licenses/$name.copyright"
done
rm -rf "$work"
touch "$stamp"
