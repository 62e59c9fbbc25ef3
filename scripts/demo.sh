#!/usr/bin/env bash
# The main job on the bundled samples: check and merge three shapefiles and a TAB table into out/merged.shp,
# then show what a reader sees in the result.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
tools="$build/src/cli"
[ -f samples/north.shp ] || tools/make_samples.py samples
mkdir -p out
inputs=(samples/north.shp samples/centre.shp samples/south.shp samples/east.tab)

echo "== fennick-merge --check ${inputs[*]}"
"$tools/fennick-merge" --check "${inputs[@]}"
echo
echo "== fennick-merge --overwrite -o out/merged.shp ${inputs[*]}"
"$tools/fennick-merge" --overwrite -o out/merged.shp "${inputs[@]}"
echo
echo "== fennick-info out/merged.shp"
"$tools/fennick-info" out/merged.shp
echo
echo "== fennick-info --records out/merged.shp (first records)"
"$tools/fennick-info" --records out/merged.shp | grep '^Record' | head -6
