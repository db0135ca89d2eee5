#!/usr/bin/env bash
# Installs what Marrowix needs to build, test and run on Debian 12 (as root).
# Packages already present are left alone; apt-get runs only when one is missing.
set -euo pipefail

packages=(
    cmake make g++ clang pkg-config
    libgtest-dev libbenchmark-dev libpng-dev zlib1g-dev libdeflate-dev libsquish-dev
    qt6-base-dev fonts-dejavu-core
    dpkg-dev desktop-file-utils man-db groff-base
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
