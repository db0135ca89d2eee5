#!/usr/bin/env bash
# The Windows viewer under wine on an Xvfb display, as a user would use it.
# First run: opened on the sample set with --mode dxt, its dialog the size
# Windows' own dialog manager makes of the same template ("MS Shell Dlg",
# dialog units); the first texture selected with a click and arrow keys, and a
# screenshot's preview pixels equal, one for one, what the Windows
# marrowix-inspect --export writes; closed with the close box's message, its
# settings in %APPDATA%. Second run: started empty, the listing dropped on it
# from X (wine hands it on as Windows' drag and drop), the encoding asked as
# for a listing browsed to, and the same texture shows.
# Usage: viewer-check.sh BIN (the folder of marrowix.exe); wine's prefix from
# WINEPREFIX.
set -euo pipefail

bin=$(realpath "$1")
root=$(realpath "$(dirname "$0")/../..")
work=$(mktemp -d)
display=:$((90 + RANDOM % 400))
cleanup() {
    kill "${viewer:-0}" "${xvfb:-0}" 2>/dev/null || true
    [[ -n ${KEEP:-} ]] && cp -r "$work" /tmp/viewer-check-kept; rm -rf "$work"
}
trap cleanup EXIT

cd "$work"
g++ -std=c++20 -O1 -o xdnd-drop "$root/tests/windows/XdndDrop.cpp" -lX11
timeout 60 wine "$bin/marrowix-make-sample.exe" sample >/dev/null
timeout 60 wine "$bin/marrowix-inspect.exe" --mode dxt --export 0 --output sky.bmp \
    sample/world.txt
settings=("$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Marrowix)
rm -rf "${settings[@]}"
Xvfb "$display" -screen 0 1280x900x24 >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
sleep 2

# Starts the viewer with these arguments and waits for its window: X and Y.
start_viewer() {
    timeout 120 wine "$bin/marrowix.exe" "$@" >viewer.log 2>&1 &
    viewer=$!
    window=
    for _ in $(seq 60); do
        window=$(xdotool search --onlyvisible --class marrowix 2>/dev/null | head -1 || true)
        [[ -n $window ]] && break
        sleep 1
    done
    if [[ -z $window ]]; then
        echo "viewer check: no window appeared" >&2
        cat viewer.log >&2
        exit 1
    fi
    sleep 2
    eval "$(xdotool getwindowgeometry --shell "$window")"
}

# The first category of the tree opened and its first texture selected; the
# texture must show exactly as exported.
show_first_texture() {
    xdotool mousemove $((X + 60)) $((Y + 18)) click 1
    sleep 0.5
    xdotool key --delay 200 Right Down
    sleep 3
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmdepth 255 >shot.ppm
    python3 - shot.ppm sky.bmp <<'PY'
import struct, sys
def ppm(path):
    data = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end]); at = end
    w, h = int(fields[1]), int(fields[2])
    px = data[at + 1:]
    return w, h, [px[i:i + 3] for i in range(0, w * h * 3, 3)]
def bmp(path):
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    w, h, _, bpp = struct.unpack_from("<iiHH", data, 18)
    rows, step = [], (w * bpp // 8 + 3) // 4 * 4
    for y in range(abs(h)):
        row = data[offset + y * step:offset + y * step + w * bpp // 8]
        rows.append([bytes((row[x * bpp // 8 + 2], row[x * bpp // 8 + 1], row[x * bpp // 8]))
                     for x in range(w)])
    return w, abs(h), rows if h < 0 else rows[::-1]
sw, sh, shot = ppm(sys.argv[1])
tw, th, tex = bmp(sys.argv[2])
first = tex[0][0]
for y in range(sh - th):
    for x in range(sw - tw):
        if shot[y * sw + x] == first and all(
                shot[(y + j) * sw + x + i] == tex[j][i] for j in range(th) for i in range(tw)):
            print(f"viewer check: the preview at {x}, {y} equals the exported {tw} x {th} texture")
            sys.exit(0)
print("viewer check: the exported texture is nowhere on the screen", file=sys.stderr)
sys.exit(1)
PY
}

start_viewer --mode dxt sample/world.txt
timeout 60 wine "$bin/marrowix_dialog_check.exe"
show_first_texture
timeout 60 wine "$bin/marrowix_dialog_check.exe" --close
timeout 30 tail --pid="$viewer" -f /dev/null
ini=("$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Marrowix/marrowix.ini)
if ! grep -q 'world.txt' "${ini[0]}" 2>/dev/null; then
    echo "viewer check: no settings in %APPDATA%\\Marrowix\\marrowix.ini after closing" >&2
    exit 1
fi
echo "viewer check: closed, its settings in %APPDATA%\\Marrowix\\marrowix.ini"

start_viewer
./xdnd-drop $((X + 60)) $((Y + 100)) "$work/sample/world.txt"
# Taken as Browse takes a listing: the encoding asked; Yes is dxt.
box=
for _ in $(seq 20); do
    box=$(xdotool search --onlyvisible --name '^marrowix$' 2>/dev/null | head -1 || true)
    [[ -n $box ]] && break
    sleep 0.5
done
if [[ -z $box ]]; then
    echo "viewer check: the dropped listing asked for no encoding" >&2
    exit 1
fi
sleep 1
box_geometry=$(xdotool getwindowgeometry --shell "$box")
xdotool mousemove "$(sed -n 's/^X=//p' <<<"$box_geometry")" \
    "$(sed -n 's/^Y=//p' <<<"$box_geometry")" mousemove_relative 10 10 click 1
sleep 0.3
xdotool key Return
sleep 2
show_first_texture
echo "viewer check: the listing dropped on the viewer opened"
