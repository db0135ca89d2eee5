#!/usr/bin/env bash
# Installs what Marrowix needs to build, test and run on Debian 12 (as root).
set -euo pipefail

packages=(
    cmake make g++ clang clang-format pkg-config
    libgtest-dev libbenchmark-dev libpng-dev libjpeg-dev zlib1g-dev libdeflate-dev
    libsquish-dev
    qt6-base-dev fonts-dejavu-core
    dpkg-dev desktop-file-utils man-db groff-base
)

bash "$(dirname "$0")/apt-install.sh" "${packages[@]}"
