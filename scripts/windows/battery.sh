#!/usr/bin/env bash
# Runs one battery of marrowix-inspect commands with the Linux build and with
# the Windows build (under wine) on copies of the sample set, and compares
# everything each wrote, byte for byte: standard output and error, the exit
# code and every file. Each decode and measure path is forced in turn.
# Usage: battery.sh LINUX-INSPECT WINDOWS-INSPECT.EXE
set -uo pipefail

linux=$(realpath "$1")
windows=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make_sample=$(dirname "$linux")/marrowix-make-sample
"$make_sample" "$work/sample" >/dev/null

commands=(
    "sample/world.txt"
    "--json sample/world.txt"
    "--check sample/world.txt"
    "--check --json --mode etc sample/world.txt"
    "--export 1 --output e4.png sample/world.txt"
    "--export 1 --output e8.png --depth 8 sample/world.txt"
    "--export 2 --output e.bmp --mode etc sample/world.txt"
    "--export-all all sample/world.txt"
    "--export-all all8 --depth 8 --format bmp sample/world.txt"
    "--compare --json sample/world.txt"
    "--stats --json sample/world.txt"
    "--stats 3 --mode etc sample/world.txt"
    "--texel 1 2 3 sample/world.txt"
    "--contact-sheet sheet.png --labels name,size sample/world.txt"
    "--replace 1 e8.png --output-set new/world.txt sample/world.txt"
    "--compare-with new/world.txt --all --json sample/world.txt"
    "--replace-from all --output-set new2/world.txt --mode etc sample/world.txt"
    "--pack all --output-set packed/world.txt --quality fast"
    "--replace 1 e8.png --output-set new/world.txt sample/world.txt"
    "--replace 1 e8.png --overwrite --output-set sample/world.txt sample/world.txt"
    "--export 0 --output sample/world.dxt.dat sample/world.txt"
    "--export 99 --output x.png sample/world.txt"
    "--bogus"
    "missing/world.txt"
)

passed=0
failed=0
for paths in "scalar scalar" "sse4.1 avx2" "avx2 avx2" "avx512 avx512"; do
    read -r decode measure <<<"$paths"
    for side in linux windows; do
        rm -rf "$work/$side"
        mkdir -p "$work/$side"
        cp -r "$work/sample" "$work/$side/"
    done
    for i in "${!commands[@]}"; do
        # shellcheck disable=SC2206
        args=(${commands[$i]})
        for side in linux windows; do
            (
                cd "$work/$side"
                export MARROWIX_DECODE_PATH=$decode MARROWIX_MEASURE_PATH=$measure
                if [[ $side == linux ]]; then
                    timeout 120 "$linux" "${args[@]}" >"out.$i" 2>"err.$i"
                else
                    timeout 120 wine "$windows" "${args[@]}" >"out.$i" 2>"err.$i"
                fi
                echo $? >"code.$i"
            )
        done
        if diff -r "$work/linux" "$work/windows" >"$work/diff" 2>&1; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
            echo "differs ($decode, $measure): marrowix-inspect ${commands[$i]}"
            head -20 "$work/diff"
        fi
    done
done
echo "battery: $passed passed, $failed failed"
((failed == 0))
