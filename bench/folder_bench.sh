#!/usr/bin/env bash
# Times merging a folder of small layers with --recursive against listing the same layers on the command
# line, alternating the two in every round, and prints the medians and their ratio; exits 1 when the folder
# takes more than 1.5 times the list. The layers are generated with fennick-gen-polygons into subfolders
# (LAYERS in all, PER_FOLDER in each, RECORDS records each).
#
# Usage: bench/folder_bench.sh [ROUNDS]     (default 5)
# Environment: BUILD_DIR (default <repo>/build), LAYERS (2000), PER_FOLDER (100), RECORDS (10).
set -euo pipefail

rounds=${1:-5}
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD_DIR:-$repo/build}")
layers=${LAYERS:-2000}
perFolder=${PER_FOLDER:-100}
records=${RECORDS:-10}

ninja -C "$build" -j2 fennick-merge fennick-gen-polygons >/dev/null
merge=$build/src/cli/fennick-merge
generate=$build/bench/fennick-gen-polygons

work=$(mktemp -d /tmp/fennick-folder-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
for ((i = 0; i < layers; ++i)); do
  folder=in/f$((i / perFolder))
  mkdir -p "$folder"
  "$generate" "$folder/l$i.shp" "$records" "$i" >/dev/null
done
# The same layers in the order the folder gives them: each folder's files, then its subfolders, naturally.
mapfile -t listed < <(find in -name '*.shp' | sort -V)

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
timed() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

: >folder.times
: >list.times
for ((r = 0; r < rounds; ++r)); do
  if ((r % 2)); then
    timed "$merge" -q --no-sync --overwrite -o out.shp --recursive in >>folder.times
    timed "$merge" -q --no-sync --overwrite -o out.shp "${listed[@]}" >>list.times
  else
    timed "$merge" -q --no-sync --overwrite -o out.shp "${listed[@]}" >>list.times
    timed "$merge" -q --no-sync --overwrite -o out.shp --recursive in >>folder.times
  fi
done
folder=$(median <folder.times)
list=$(median <list.times)
ratio=$(awk -v f="$folder" -v l="$list" 'BEGIN { printf "%.2f", f / l }')
echo "$layers layers of $records records: --recursive folder ${folder} ms, listed ${list} ms, ratio $ratio (medians of $rounds)"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.5) }'
