#!/bin/sh
# Under a virtual X server: starts fennick and checks that its window is titled "Fennick", then renders the
# main window as it opens at the sample layers' folder (startup.png), with them listed with their facts and a
# layer of lines marked as not fitting (main.png; ogr2ogr from gdal-bin makes it), and
# with the success report of their merge (success.png), the about box, the file tree and the progress dialog
# (about.png, tree.png, progress.png, screen.png), and the map of three tiling layers with a fourth in
# longitudes and latitudes, its coordinates kept and converted (map-kept.png, map-converted.png). The README's
# pictures are startup, main, progress, success and the two maps, from
# `scripts/screenshots.sh build docs/screenshots`.
# Usage: scripts/screenshots.sh [build folder] [output folder]
set -eu
build=${1:-build}
out=${2:-$build/screenshots}
root=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$build" --target fennick fennick_screenshots
[ -f "$root/samples/north.shp" ] || "$root/tools/make_samples.py" "$root/samples"
mkdir -p "$out"

# The program itself, with settings kept in a scratch folder: its top-level window must carry the title
# (read with xwininfo from x11-utils).
config=$(mktemp -d)
# The layers are copied into a scratch folder of their own, so that the tree shows nothing else beside them.
scratch=$(mktemp -d)
trap 'rm -rf "$config" "$scratch"' EXIT
if command -v xwininfo >/dev/null; then
XDG_CONFIG_HOME=$config xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    "$1" & pid=$!
    title=""
    for i in $(seq 1 50); do
        title=$(xwininfo -root -tree 2>/dev/null | grep -o "\"Fennick\"" | head -n 1 || true)
        [ -n "$title" ] && break
        sleep 0.2
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if [ -z "$title" ]; then echo "fennick: no window titled Fennick" >&2; exit 1; fi
    echo "fennick: window titled Fennick"
' sh "$build/src/ui/fennick"
else
    echo "fennick: title not checked (xwininfo is missing; it is in x11-utils)"
fi

# The sample layers and one that does not fit them (lines, not regions), for the list's marks.
layers="$scratch/layers"
mkdir -p "$layers"
cp "$root"/samples/*.* "$layers"/
rm -f "$layers/README.md"
ogr2ogr -f "ESRI Shapefile" -nlt MULTILINESTRING "$layers/north outline.shp" "$root/samples/north.shp"
# One more tiling layer, in longitudes and latitudes: the east table converted by GDAL.
other="$scratch/east in lon-lat/east_wgs84.shp"
mkdir -p "$(dirname "$other")"
# Its columns are cast to the other layers' widths, so that it fits them.
ogr2ogr -f "ESRI Shapefile" -t_srs EPSG:4326 "$other" "$root/samples/east.tab" -sql \
    "SELECT NAME, CAST(POP AS integer(11)) AS POP, CAST(AREA_KM2 AS numeric(16,6)) AS AREA_KM2 FROM east"
xvfb-run -a -s "-screen 0 1024x768x24" env TMPDIR="$scratch" XDG_RUNTIME_DIR="$config" \
    "$build/src/ui/fennick_screenshots" "$out" "$layers" "$other"
