#!/usr/bin/env bash
# Builds the Debian package from a configured build folder and checks it as
# a user would meet it: its contents, its desktop entry, its man pages, that
# its dependencies resolve on this system, and that the programs run from a
# temporary install prefix and from the package's own files.
#   bash scripts/check-package.sh build/default
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "-- package"
(cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/marrowix_*.deb)
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/marrowix ./usr/bin/marrowix-inspect \
    ./usr/share/applications/marrowix.desktop \
    ./usr/share/icons/hicolor/scalable/apps/marrowix.svg \
    ./usr/share/man/man1/marrowix.1 ./usr/share/man/man1/marrowix-inspect.1 \
    ./usr/share/doc/marrowix/copyright; do
    grep -q " $path\$" <<<"$contents" || { echo "missing from the package: $path"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libdeflate0 libpng16-16 libjpeg62-turbo libsquish0; do
    grep -q "$library" <<<"$depends" || { echo "not in Depends: $library ($depends)"; exit 1; }
done
apt-get install --simulate -qq "$deb" >/dev/null

echo "-- desktop entry and man pages"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/marrowix.desktop"
for page in "$work"/root/usr/share/man/man1/*.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z "$warnings" ]] || { echo "$page: $warnings"; exit 1; }
done

echo "-- installed programs"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
"$build/marrowix-make-sample" "$work/sample" >/dev/null
for bin in "$work/prefix/bin" "$work/root/usr/bin"; do
    "$bin/marrowix-inspect" --version
    "$bin/marrowix-inspect" --check "$work/sample/world.txt" >/dev/null 2>&1 || [[ $? -eq 1 ]]
    "$bin/marrowix-inspect" --export 3 --output "$work/rings.png" "$work/sample/world.txt"
    "$bin/marrowix-inspect" --replace 3 "$work/rings.png" --output-set "$work/new/world.txt" --overwrite \
        "$work/sample/world.txt" >/dev/null
    "$bin/marrowix" --version
    # The viewer stays up on the sample set until it is stopped.
    status=0
    timeout 3 "$bin/marrowix" -platform offscreen --mode dxt "$work/sample/world.txt" || status=$?
    [[ $status -eq 124 ]] || { echo "the viewer ended with $status"; exit 1; }
done
echo "package checks passed"
