#!/bin/sh
# The map's benchmark: 20 polygon layers of 200,000 records each (fennick-gen-polygons, seeds 1..20, kept in
# the folder given for later runs), drawn by fennick-map-draw.
# Usage: bench/map_bench.sh [build folder] [data folder] [layers] [records]; the build is configured with
# -DFENNICK_BENCH=ON.
set -eu
build=${1:-build}
data=${2:-${TMPDIR:-/tmp}/fennick-map-bench}
layers=${3:-20}
records=${4:-200000}
cmake --build "$build" --target fennick-gen-polygons fennick-map-draw >/dev/null
mkdir -p "$data"
files=""
for i in $(seq 1 "$layers"); do
    file="$data/layer$i-$records.shp"
    [ -f "$file" ] || "$build/bench/fennick-gen-polygons" "$file" "$records" "$i"
    files="$files $file"
done
# shellcheck disable=SC2086
"$build/bench/fennick-map-draw" $files
