#!/usr/bin/env bash
# Installs a built tree (default build/) into a scratch prefix and checks the
# result as a user would meet it: every file in place, the icons at their
# sizes, the desktop entry and the metainfo valid, the entry's window class the
# window's own, --help and --version answered without a display, the manual
# page readable, the program started through its link keeping its bookmark
# beside itself, and a second install leaving the user's collection and
# bookmark byte for byte as they were. Any fault stops it with a message.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scratch=$(mktemp -d)
# Processes to end when the check ends, however it ends.
started=()
cleanup() {
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT
prefix=$scratch/prefix
programDir=$prefix/share/orvenla

fail() {
    echo "check-install: FAILED: $*" >&2
    exit 1
}

install_into_prefix() {
    cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
        { cat "$scratch/install.log" >&2; fail "cmake --install"; }
}

install_into_prefix

entries=("$prefix"/share/applications/*.desktop)
[[ ${#entries[@]} -eq 1 && -f ${entries[0]} ]] || fail "expected one desktop entry in share/applications"
id=$(basename "${entries[0]}" .desktop)
for file in "share/metainfo/$id.metainfo.xml" "share/icons/hicolor/scalable/apps/$id.svg" \
    share/man/man1/orvenla.1 share/orvenla/data.txt; do
    [[ -f $prefix/$file && -s $prefix/$file ]] || fail "missing or empty: $file"
done
# A PNG's width and height are the big-endian words after its header chunk's name.
for size in 16 24 32 48 64 128 256; do
    png=share/icons/hicolor/${size}x${size}/apps/$id.png
    [[ -f $prefix/$png ]] || fail "missing: $png"
    [[ $(od -An -tx1 -N8 "$prefix/$png" | tr -d ' \n') == 89504e470d0a1a0a ]] || fail "not a PNG: $png"
    read -r -a dims <<<"$(od -An -tu4 --endian=big -j16 -N8 "$prefix/$png")"
    [[ ${dims[0]} -eq $size && ${dims[1]} -eq $size ]] || fail "$png is ${dims[0]}x${dims[1]}"
done
[[ -x $programDir/orvenla ]] || fail "the program is not at share/orvenla/orvenla"
cmp -s data/data.txt "$programDir/data.txt" || fail "the sample collection differs from data/data.txt"
[[ -L $prefix/bin/orvenla ]] || fail "bin/orvenla is not a link"
[[ $(readlink -f "$prefix/bin/orvenla") == $(readlink -f "$programDir/orvenla") ]] ||
    fail "bin/orvenla does not lead to the program"
grep -qx "Icon=$id" "${entries[0]}" || fail "the desktop entry does not name the icon $id"
grep -qx "Exec=\"$prefix/bin/orvenla\"" "${entries[0]}" || fail "the desktop entry does not start bin/orvenla"
grep -qx "StartupWMClass=Orvenla" "${entries[0]}" || fail "the desktop entry does not name the window class Orvenla"
grep -q "<id>$id</id>" "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo is not named $id"
desktop-file-validate "${entries[0]}" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$id.metainfo.xml" >"$scratch/appstream.log" 2>&1 ||
    { cat "$scratch/appstream.log" >&2; fail "appstreamcli validate"; }

# The manual page renders without a complaint where man-db is installed.
if command -v man >/dev/null; then
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$prefix/share/man/man1/orvenla.1" \
        >"$scratch/man.txt" 2>"$scratch/man.log" || fail "man cannot show orvenla.1"
    [[ ! -s $scratch/man.log ]] || { cat "$scratch/man.log" >&2; fail "man warns about orvenla.1"; }
    grep -q -- --version "$scratch/man.txt" || fail "the manual page does not name --version"
fi

# --help and --version answer on standard output and end, with no display at all.
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
version=$("${no_display[@]}" "$prefix/bin/orvenla" --version 2>"$scratch/version.log") ||
    { cat "$scratch/version.log" >&2; fail "orvenla --version did not exit with 0 without a display"; }
[[ $version =~ ^Orvenla\ [0-9]+(\.[0-9]+)+$ ]] || fail "orvenla --version printed: $version"
help=$("${no_display[@]}" "$prefix/bin/orvenla" --help 2>"$scratch/help.log") ||
    { cat "$scratch/help.log" >&2; fail "orvenla --help did not exit with 0 without a display"; }
[[ $help == *--version* ]] || fail "orvenla --help does not name --version"

# Started through the link from elsewhere, closed as a session end closes it:
# the bookmark must land beside the real program.
mkdir -p "$scratch/home"
(cd "$scratch/home" && HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config \
    QT_QPA_PLATFORM=offscreen timeout --preserve-status --kill-after=30 3 \
    "$prefix/bin/orvenla" >"$scratch/run.log" 2>&1) ||
    { cat "$scratch/run.log" >&2; fail "the installed program did not end cleanly"; }
[[ -f $programDir/MyPage.txt ]] || fail "no bookmark in the program's directory after a run"

# The user's own files survive an update.
printf 'my own first line\r\n***\r\nmine\r\n' >>"$programDir/data.txt"
printf '2\r\n' >"$programDir/MyPage.txt"
cp "$programDir/data.txt" "$programDir/MyPage.txt" "$scratch/"
install_into_prefix
cmp -s "$scratch/data.txt" "$programDir/data.txt" || fail "a second install changed data.txt"
cmp -s "$scratch/MyPage.txt" "$programDir/MyPage.txt" || fail "a second install changed MyPage.txt"
[[ -L $prefix/bin/orvenla && -x $programDir/orvenla ]] || fail "a second install lost the program"

# Under an X server, when one is installed, the window's class is the one the
# desktop entry names, so that a dock ties the two together.
if command -v Xvfb >/dev/null && command -v xprop >/dev/null && command -v xwininfo >/dev/null; then
    display=99
    while [[ -e /tmp/.X11-unix/X$display ]]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    started+=($!)
    export DISPLAY=:$display
    for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
    HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config \
        env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$prefix/bin/orvenla" >"$scratch/x.log" 2>&1 &
    reader=$!
    started+=("$reader")
    window=""
    for _ in $(seq 200); do
        # Whole outputs are matched: ending the pipe early would fail it.
        window=$(xwininfo -root -tree 2>/dev/null | awk '/"Orvenla\(/ && !found { print $1; found = 1 }') || true
        [[ -n $window ]] && break
        sleep 0.1
    done
    class=""
    [[ -z $window ]] || class=$(xprop -id "$window" WM_CLASS)
    kill "$reader" 2>/dev/null || true
    wait "$reader" 2>/dev/null || true
    [[ -n $window ]] || { cat "$scratch/x.log" >&2; fail "the reader's window did not show under Xvfb"; }
    [[ $class == *'"Orvenla"' ]] || fail "the window's class is not Orvenla: $class"
fi
echo "check-install: passed ($id)"
