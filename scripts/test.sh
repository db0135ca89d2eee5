#!/usr/bin/env bash
# Builds Marrowix and runs every test: the ordinary build, the Debian package
# and the installed programs, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short bounded run of each fuzz target, and
# the Windows build under wine (scripts/test-windows.sh). Run from anywhere
# inside the checkout.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
for preset in default asan fuzz; do
    echo "== $preset =="
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j"$jobs"
    ctest --preset "$preset" -j"$jobs"
    if [[ $preset == default ]]; then
        echo "== package =="
        bash scripts/check-package.sh build/default
    fi
done

echo "== windows =="
bash scripts/test-windows.sh
