#!/usr/bin/env bash
# Installs the Debian 12 packages that the build (and, with --fonts, the
# reader's Chinese Ming faces and Qt's own translations) needs. Installs only
# what is missing.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev libgl-dev libbenchmark-dev)
if [[ "${1:-}" == "--fonts" ]]; then
    packages+=(fonts-noto-cjk fonts-arphic-uming qt6-translations-l10n)
fi

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
