#!/usr/bin/env bash
# Builds Marrowix and runs every test, the quick gate first: the ordinary
# build and its tests, the sources' format (clang-format), the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, a short bounded run
# of each fuzz target, the Debian package and the installed programs, and the
# Windows build under wine (scripts/test-windows.sh). Run from anywhere
# inside the checkout.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# The other tools the DDS files written are read back with.
bash scripts/apt-install.sh imagemagick libnvtt-bin python3-pil

jobs=$(nproc)
for preset in default asan fuzz; do
    echo "== $preset =="
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j"$jobs"
    ctest --preset "$preset" -j"$jobs"
    if [[ $preset == default ]]; then
        echo "== format =="
        bash scripts/check-format.sh
    fi
done

echo "== package =="
bash scripts/check-package.sh build/default

echo "== windows =="
bash scripts/test-windows.sh
