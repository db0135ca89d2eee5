#!/usr/bin/env bash
# The Windows zip: both programs, the licence and the third-party notices
# with every licence they name, in build/windows/marrowix-VERSION-windows-x64.zip.
# Needs build/windows (scripts/build-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."

version=$(sed -n 's/^project(Marrowix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=marrowix-$version-windows-x64
stage=build/windows/package/$name
rm -rf build/windows/package
mkdir -p "$stage/licenses"
for program in marrowix marrowix-inspect; do
    x86_64-w64-mingw32-strip -o "$stage/$program.exe" "build/windows/bin/$program.exe"
done
cp LICENSE "$stage/LICENSE.txt"
cp packaging/THIRD-PARTY-NOTICES.txt "$stage/"
cp build/windows-deps/licenses/*.copyright "$stage/licenses/"
cp /usr/share/doc/libz-mingw-w64-dev/copyright "$stage/licenses/zlib.copyright"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/mingw-w64.copyright"
cp /usr/share/common-licenses/LGPL-3 "$stage/licenses/LGPL-3"
cp /usr/share/common-licenses/GPL-3 "$stage/licenses/GPL-3"
# Text files as Windows editors expect them.
for f in "$stage"/*.txt "$stage"/licenses/*; do
    sed -i 's/\r*$/\r/' "$f"
done
(cd build/windows/package && rm -f "../$name.zip" && zip -qr "../$name.zip" "$name")
echo "build/windows/$name.zip"

# The installer, from the same files.
makensis -V2 -DVERSION="$version" -DSTAGE="$PWD/$stage" \
    -DOUT="$PWD/build/windows/marrowix-$version-windows-x64-setup.exe" \
    packaging/windows/marrowix.nsi >/dev/null
echo "build/windows/marrowix-$version-windows-x64-setup.exe"
