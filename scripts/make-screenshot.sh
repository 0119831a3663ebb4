#!/usr/bin/env bash
# Makes docs/screenshot.png again: builds the reader, starts a scratch copy of
# it on the bundled sample collection under Xvfb with a window manager and
# fresh settings, and takes a picture of its window, frame included.
# SCALE=2 draws it at twice the size; OUT=file writes elsewhere. VERTICAL=1
# shows the collection's last article in vertical columns instead
# (docs/vertical-light.png), VERTICAL=dark the same in dark colours
# (docs/vertical-dark.png).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh --fonts --screen
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target orvenla >/dev/null

vertical=${VERTICAL:-}
case "$vertical" in
"") out=${OUT:-docs/screenshot.png} ;;
dark) out=${OUT:-docs/vertical-dark.png} ;;
*) out=${OUT:-docs/vertical-light.png} ;;
esac
scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

# The reader keeps its files beside itself, so it runs from a copy.
cp build/orvenla data/data.txt "$scratch/"
mkdir "$scratch/config"
if [[ -n "$vertical" ]]; then
    # The last article: one fewer than the separator lines.
    echo $(($(grep -c '^\*\*\*' data/data.txt) - 1)) >"$scratch/MyPage.txt"
fi

display=99
while [[ -e /tmp/.X11-unix/X$display ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$display"
until xwininfo -root >/dev/null 2>&1; do sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
# Whole outputs are matched: grep -q would end the pipe early, failing it.
until [[ $(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) == *"window id"* ]]; do sleep 0.1; done

# A desktop in no Chinese locale: the reader shows its own language anyway.
start_reader() {
    env -u QT_QPA_PLATFORM LANG=C.UTF-8 LC_ALL= XDG_CONFIG_HOME="$scratch/config" \
        QT_SCALE_FACTOR="${SCALE:-1}" "$scratch/orvenla" >/dev/null 2>&1 &
    reader=$!
    pids+=($reader)
    window=""
    for _ in $(seq 200); do
        window=$(xwininfo -root -tree | awk '/"Orvenla\(/ && !found { print $1; found = 1 }')
        [[ -n "$window" && $(xwininfo -id "$window") == *IsViewable* ]] && break
        window=""
        sleep 0.1
    done
    [[ -n "$window" ]] || {
        echo "the reader's window did not show" >&2
        exit 1
    }
}
start_reader
if [[ -n "$vertical" ]]; then
    # 直排, which the reader keeps for the next start.
    xdotool windowactivate --sync "$window" key F8
    if [[ "$vertical" == dark ]]; then
        xdotool key ctrl+q
        wait "$reader" || true
        # Light text on a dark background, as the choosers would keep them
        # (0x00BBGGRR), in the collection's own section: the file's only one.
        printf 'Font\\ForeColor=13688032\nFont\\BackColor=1973790\n' \
            >>"$scratch/config/Orvenla/orvenla.ini"
        start_reader
    fi
fi
# Let the first paint and the frame settle.
sleep 1
import -frame -window "$window" "$out"
echo "Wrote $out"
