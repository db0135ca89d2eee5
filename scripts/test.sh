#!/usr/bin/env bash
# Builds Marrowix and runs every test. Run from anywhere inside the checkout.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset default
cmake --build --preset default -j"$(nproc)"
ctest --preset default -j"$(nproc)"
