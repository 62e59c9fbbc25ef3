#!/bin/sh
# Renders the file tree and the progress dialog under a virtual X server and writes PNG files.
# Usage: scripts/screenshots.sh [build folder] [output folder]
set -eu
build=${1:-build}
out=${2:-$build/screenshots}
if [ ! -x "$build/src/ui/fennick_screenshots" ]; then
    cmake --build "$build" --target fennick_screenshots
fi
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1024x768x24" "$build/src/ui/fennick_screenshots" "$out"
