#!/usr/bin/env bash
# Installs what building Marrowix for Windows and testing it under wine takes,
# from Debian's packages (as root).
set -euo pipefail

packages=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
    binutils-mingw-w64-x86-64 libz-mingw-w64-dev
    qt6-base-dev-tools ninja-build cmake make dpkg-dev xz-utils nasm
    wine wine64 xvfb xauth xdotool x11-apps netpbm python3 nsis zip unzip
    g++ libx11-dev
)

bash "$(dirname "$0")/../apt-install.sh" "${packages[@]}"

# Source packages come from the same archive and suites as the binary ones.
sources=/etc/apt/sources.list.d/marrowix-deb-src.sources
if [[ ! -e $sources ]] && ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
    ! grep -qs '^deb-src' /etc/apt/sources.list; then
    if [[ -e /etc/apt/sources.list.d/debian.sources ]]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$sources"
    else
        grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
            >/etc/apt/sources.list.d/marrowix-deb-src.list
    fi
    apt-get update -qq
fi
