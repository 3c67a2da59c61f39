#!/usr/bin/env bash
# Starts the program on a private Xvfb display with the xcb platform plugin and the openbox
# window manager, takes a screenshot of the whole screen into BUILD/smoke-screenshot.png, and
# reads the main window's tab captions back from the pixels with tesseract.
#
# The program runs from a temporary copy of its folder with a temporary HOME, so that the
# settings file it writes beside itself and any desktop files stay out of the build and the
# user's home.
#
# usage: run-smoke.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: run-smoke.sh BUILD_DIR}
build=$(cd "$build" && pwd)
screenshot=$build/smoke-screenshot.png
expected_tabs=("Soubory" "Automat" "Nastavení")
title="quenza Ostrivane"

fail() {
    echo "smoke: $*" >&2
    exit 1
}

for tool in Xvfb openbox xprop xwininfo import convert tesseract; do
    command -v "$tool" > /dev/null || fail "$tool is missing (run tools/install-deps.sh)"
done
[[ -x $build/ostrivane ]] || fail "$build/ostrivane is not built"
[[ -f $build/libcabinet.so ]] || fail "$build/libcabinet.so is not built"

source "$(dirname "$0")/../x11/session.sh"
make_work_folder smoke

mkdir -p "$work/program" "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
cp "$build/ostrivane" "$build/libcabinet.so" "$work/program/"
[[ -f $build/ostrivane.png ]] && cp "$build/ostrivane.png" "$work/program/"

start_x11_session "$work"

export HOME=$work/home
export XDG_CONFIG_HOME=$work/home/.config
export XDG_RUNTIME_DIR=$work/runtime
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

"$work/program/ostrivane" > "$work/program.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")

# Wait for the main window to be mapped, then give it a moment to paint.
wait_for_window "$program_pid" "$title" "$work/program.log"
geometry="${w}x${h}+${x}+${y}"
echo "smoke: main window at $geometry on $DISPLAY"
sleep 2

import -window root "$screenshot"
echo "smoke: screenshot in $screenshot"

# The tab bar runs along the top of the window's client area; reading only that strip keeps
# the same words elsewhere in the window (the label "Soubory do archívu") from counting. A few
# strip heights allow for other font sizes. OCR reads small UI text far better three times
# larger and in grey.
pattern="${expected_tabs[0]}"
for tab in "${expected_tabs[@]:1}"; do
    pattern+=".*$tab"
done
found=""
for height in 32 36 44; do
    convert "$screenshot" -crop "${w}x${height}+${x}+${y}" +repage -colorspace Gray -resize 300% \
        "$work/tabs-large.png"
    tesseract "$work/tabs-large.png" "$work/ocr" -l ces+eng --psm 7 > /dev/null 2>&1 ||
        fail "tesseract failed"
    text=$(tr -s ' \n' ' ' < "$work/ocr.txt")
    echo "smoke: OCR of the top ${height} pixels: $text"
    # The three captions, left to right, on the one line.
    if grep -q -- "$pattern" <<< "$text"; then
        found=yes
        break
    fi
done
[[ -n $found ]] || fail "tab captions ${expected_tabs[*]} not found in this order on screen"
echo "smoke: tab captions on screen: ${expected_tabs[*]}"
