#!/usr/bin/env bash
# Installs the Debian 12 packages that building the reader needs; with --fonts
# also the reader's Chinese Ming faces and Qt's own translations, with --bench
# the benchmark library and the X11 headers of the start-up timer, with
# --validators the checkers of the desktop entry and the metainfo and the
# formatting checker, with
# --test-fonts the Traditional Chinese faces that the tests draw with, with
# --wayland a Wayland compositor and Qt's client for it, with --screen an X
# server, a window manager, the session and accessibility buses, a key presser
# for the timings under X and a screen grabber for the screenshot, and with
# --fuzz clang and its libFuzzer and sanitizer runtimes (a recommendation of
# clang only, so named here). Installs only what is missing: as root directly,
# otherwise through sudo; without sudo it names the packages and the command
# to install them as root, and fails.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev libgl-dev libopencc-dev libicu-dev)
for option in "$@"; do
    case "$option" in
    --fonts) packages+=(fonts-noto-cjk fonts-arphic-uming qt6-translations-l10n) ;;
    --bench) packages+=(libbenchmark-dev libx11-dev) ;;
    --validators) packages+=(desktop-file-utils appstream clang-format) ;;
    --test-fonts) packages+=(fonts-noto-cjk) ;;
    --wayland) packages+=(weston qt6-wayland) ;;
    --screen) packages+=(xvfb x11-utils openbox dbus-daemon at-spi2-core xdotool imagemagick) ;;
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    *)
        echo "unknown option: $option" >&2
        exit 2
        ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

# Says why nothing was installed, and what to install as root instead.
ask_root() {
    cat >&2 <<EOF
$1
These Debian packages are missing: ${missing[*]}
Install them as root, for example with
    su -c 'apt-get update && apt-get install --no-install-recommends ${missing[*]}'
and run this command again.
EOF
    exit 1
}

as_root=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null 2>&1 || ask_root "Installing packages needs root, and sudo is not installed."
    as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq || ask_root "apt-get update failed."
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" || ask_root "apt-get install failed."
