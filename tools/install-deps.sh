#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Ostrivane need,
# but only those that are missing, so that a second call costs nothing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n libgl-dev fonts-dejavu-core
    zlib1g-dev libjpeg62-turbo-dev libgtest-dev libarchive-dev libisal-dev libsystemd-dev
    dbus dbus-bin
    cabextract gcab 7zip libarchive-tools pigz time bc
    xvfb xauth openbox imagemagick x11-utils xdotool
    tesseract-ocr tesseract-ocr-ces
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
