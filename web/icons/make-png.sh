#!/bin/sh
# Draws the page's PNG icons from icon.svg with headless Chromium; the PNGs
# are committed, so the build needs no browser. Run from this folder.
set -e
for size in 192 512; do
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --default-background-color=00000000 \
        --window-size=$size,$size --screenshot=icon-$size.png "file://$PWD/icon.svg"
done
