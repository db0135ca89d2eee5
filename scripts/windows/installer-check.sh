#!/usr/bin/env bash
# The installer under wine, as a user or an administrator would run it:
# installed silently for the current user and then for every user,
# marrowix-inspect --version started from where it went, the Start-menu
# entry and the "Open with" entry there, then uninstalled silently, leaving
# nothing: no folder, no entry, no key. Usage: installer-check.sh SETUP.EXE;
# wine's prefix from WINEPREFIX.
set -euo pipefail

setup=$(realpath "$1")
fail() {
    echo "installer check: $*" >&2
    exit 1
}
query() {  # KEY [VALUE]: the value's data, or nothing
    { timeout 60 wine reg query "$1" ${2:+/v "$2"} 2>/dev/null || true; } | tr -d '\r' |
        sed -n "s/^ *${2:-(Default)} *REG_[A-Z_]* *//p"
}

for mode in CurrentUser AllUsers; do
    [[ $mode == CurrentUser ]] && root=HKCU || root=HKLM
    key="$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Marrowix"
    txt=$(query "$root\\Software\\Classes\\.txt")
    timeout 300 wine "$setup" /S "/$mode" || fail "$mode: the installer failed"
    place=$(query "$key" InstallLocation)
    [[ -n $place ]] || fail "$mode: no uninstall entry"
    folder=$(winepath -u "$place" 2>/dev/null)
    version=$(timeout 60 wine "$place\\marrowix-inspect.exe" --version | tr -d '\r')
    [[ $version == "marrowix-inspect "* ]] || fail "$mode: --version said '$version'"
    [[ -n $(query "$root\\Software\\Classes\\Applications\\marrowix.exe\\shell\\open\\command") ]] ||
        fail "$mode: no Open with entry"
    [[ $(query "$root\\Software\\Classes\\.txt") == "$txt" ]] || fail "$mode: .txt was taken over"
    links=$(find "$WINEPREFIX/drive_c" -name 'Marrowix.lnk' | wc -l)
    ((links == 1)) || fail "$mode: $links Start-menu entries"
    echo "installer check: $mode: installed in $place; $version"

    timeout 60 wine "$place\\uninstall.exe" "/$mode" /S || fail "$mode: the uninstaller failed"
    # The uninstaller goes on from a copy of itself: wait until it is done.
    for _ in $(seq 60); do
        [[ -e $folder ]] || break
        sleep 1
    done
    [[ ! -e $folder ]] || fail "$mode: $folder is left: $(ls "$folder")"
    [[ -z $(query "$key" DisplayName) ]] || fail "$mode: the uninstall entry is left"
    [[ -z $(query "$root\\Software\\Classes\\Applications\\marrowix.exe" FriendlyAppName) ]] ||
        fail "$mode: the Open with entry is left"
    links=$(find "$WINEPREFIX/drive_c" -name 'Marrowix.lnk' | wc -l)
    ((links == 0)) || fail "$mode: the Start-menu entry is left"
    echo "installer check: $mode: uninstalled, nothing left"
done
