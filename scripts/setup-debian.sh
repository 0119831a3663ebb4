#!/usr/bin/env bash
# Installs the Debian 12 packages that the build needs; with --fonts also the
# reader's Chinese Ming faces and Qt's own translations, with --validators the
# checkers of the desktop entry and the metainfo, with --test-fonts the
# Traditional Chinese faces that the tests draw with, with --wayland a Wayland
# compositor and Qt's client for it, with --screen an X server,
# a window manager and a screen grabber for the screenshot, and with --fuzz
# clang and its libFuzzer and sanitizer runtimes (a recommendation of clang
# only, so named here). Installs only what is missing.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev libgl-dev libx11-dev libbenchmark-dev)
for option in "$@"; do
    case "$option" in
    --fonts) packages+=(fonts-noto-cjk fonts-arphic-uming qt6-translations-l10n) ;;
    --validators) packages+=(desktop-file-utils appstream) ;;
    --test-fonts) packages+=(fonts-noto-cjk) ;;
    --wayland) packages+=(weston qt6-wayland) ;;
    --screen) packages+=(xvfb x11-utils openbox imagemagick) ;;
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

sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
