#!/bin/sh
# Renders the icon theme's pictures from ostrivane.svg (rsvg-convert, Debian package
# librsvg2-bin). Run by hand after the drawing changes; the pictures are kept in the repository so
# that building needs no renderer.
set -eu
here=$(dirname "$0")
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" "$here/ostrivane.svg" \
        --output "$here/ostrivane-$size.png"
done
