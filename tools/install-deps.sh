#!/usr/bin/env bash
# Installs the Debian packages that Ostrivane needs, but only those that are missing, so that a
# second call costs nothing.
#
# usage: install-deps.sh [build|all]
#   build  what building the program and its Debian package needs (`make package`)
#   all    that, and what running it and every test needs (the default: `make run`, `make test`)
set -euo pipefail

build_packages=(
    build-essential cmake pkg-config file dpkg-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev
    zlib1g-dev libjpeg62-turbo-dev libarchive-dev libisal-dev libsystemd-dev
)
test_packages=(
    libgtest-dev qt6-translations-l10n fonts-dejavu-core man-db
    dbus dbus-bin locales
    cabextract gcab 7zip libarchive-tools pigz zstd strace time bc
    xvfb xauth openbox imagemagick x11-utils xdotool
    tesseract-ocr tesseract-ocr-ces
    clang libclang-rt-14-dev
)

case ${1:-all} in
build) packages=("${build_packages[@]}") ;;
all) packages=("${build_packages[@]}" "${test_packages[@]}") ;;
*)
    echo "usage: install-deps.sh [build|all]" >&2
    exit 2
    ;;
esac

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
