#!/usr/bin/env bash
# Installs a built tree (default build/) into a scratch prefix and checks the
# result as a user would meet it: every file in place, the desktop entry and
# the metainfo valid, the program started through its link keeping its
# bookmark beside itself, and a second install leaving the user's collection
# and bookmark byte for byte as they were. Any fault stops it with a message.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
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
    "share/icons/hicolor/32x32/apps/$id.png" share/orvenla/data.txt; do
    [[ -f $prefix/$file && -s $prefix/$file ]] || fail "missing or empty: $file"
done
[[ -x $programDir/orvenla ]] || fail "the program is not at share/orvenla/orvenla"
cmp -s data/data.txt "$programDir/data.txt" || fail "the sample collection differs from data/data.txt"
[[ -L $prefix/bin/orvenla ]] || fail "bin/orvenla is not a link"
[[ $(readlink -f "$prefix/bin/orvenla") == $(readlink -f "$programDir/orvenla") ]] ||
    fail "bin/orvenla does not lead to the program"
grep -qx "Icon=$id" "${entries[0]}" || fail "the desktop entry does not name the icon $id"
grep -qx "Exec=\"$prefix/bin/orvenla\"" "${entries[0]}" || fail "the desktop entry does not start bin/orvenla"
grep -q "<id>$id</id>" "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo is not named $id"
desktop-file-validate "${entries[0]}" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$id.metainfo.xml" >"$scratch/appstream.log" 2>&1 ||
    { cat "$scratch/appstream.log" >&2; fail "appstreamcli validate"; }

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
echo "check-install: passed ($id)"
