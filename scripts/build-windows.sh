#!/usr/bin/env bash
# Builds both programs and their tests for 64-bit Windows into build/windows/
# (the .exe files in build/windows/bin), cross-compiled here with Debian's
# MinGW-w64. The libraries Debian has no Windows build of are built once into
# build/windows-deps/. Run from anywhere inside the checkout, as root on
# Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/windows/tools.sh
bash scripts/windows/build-libs.sh build/windows-deps
bash scripts/windows/qt.sh build/windows-deps

cmake --preset windows
cmake --build --preset windows -j"$(nproc)"
