#!/usr/bin/env bash
# Times fennick-merge against GDAL's ogrmerge.py -single and against the machine's floor (cat of the same
# input bytes into one file), alternating them in every round, and prints medians, ratios and
# fennick-merge's peak memory. A second floor, "copy", pipes the same bytes through a second cat: cat alone
# copies inside the kernel (copy_file_range), while any program that transforms records has to read them
# into its memory and write them out again, as this does. Four cases: four generated polygon shapefiles, the
# same as PolygonZ layers (a height and a measure at every vertex), two MapInfo TAB tables made from two of the
# first ones with ogr2ogr and two of small regions (5-point rings, parcels) made the same way, a GeoPackage and a FlatGeobuf made from one of them with ogr2ogr, each merged with
# a shapefile (fields matched by name, as their layouts differ), 500 small shapefiles and 10,000 tiny ones
# (open and check cost per input). The merges are timed with
# --no-sync, the merge's own cost as cat's is timed without a sync; one more row times the four-file case as
# it runs by default, each new file synced to the disk before it takes its name. The growth rows merge the first
# input listed 2, 4, 16 and 64 times (a merge takes two inputs at the least) against cat of the same bytes, so
# that the time per record can be seen to stay constant as the inputs grow in number and the output in size.
#
# Usage: bench/merge_bench.sh [ROUNDS]      (default 5 rounds; at least 5 for the published medians)
# Environment: BUILD_DIR (default <repo>/build-bench), WORK_DIR (default a new folder under /tmp, removed
# at the end), RECORDS (records per input of the four-file case, default 200000), SMALL_FILES (500),
# SMALL_RECORDS (records per small input, 400), TINY_FILES (10000; 0 leaves the row out), TINY_RECORDS (40),
# GROWTH (how many times the growth rows list one input,
# "2 4 16 64"; empty leaves them out), BEFORE (the fennick-merge of another build, timed in every round beside
# the others and its outputs compared byte for byte with this build's; for judging a change).
# Needs: /usr/bin/time (Debian package "time"), ogrmerge.py and ogr2ogr (gdal-bin, python3-gdal), cmake,
# ninja and Google Benchmark's headers for the build (scripts/install-deps.sh installs them all).
set -euo pipefail

rounds=${1:-5}
fennickOptions=() # options of fennick-merge's runs beyond the common ones
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD_DIR:-$repo/build-bench}")
records=${RECORDS:-200000}
smallFiles=${SMALL_FILES:-500}
smallRecords=${SMALL_RECORDS:-400}
tinyFiles=${TINY_FILES:-10000}
tinyRecords=${TINY_RECORDS:-40}
growth=${GROWTH-2 4 16 64}
before=${BEFORE:-}

die() { echo "merge_bench: $*" >&2; exit 1; }

[ -x /usr/bin/time ] || die "/usr/bin/time is missing (Debian package \"time\")"
[ -z "$before" ] || [ -x "$before" ] || die "BEFORE=$before is not a program"
ogrmerge=$(command -v ogrmerge.py || true)
if [ -z "$ogrmerge" ]; then
  for candidate in /usr/share/gdal/ogrmerge.py /usr/lib/python3/dist-packages/osgeo_utils/ogrmerge.py; do
    [ -f "$candidate" ] && ogrmerge="python3 $candidate" && break
  done
fi
[ -n "$ogrmerge" ] || die "ogrmerge.py not found (packages gdal-bin and python3-gdal)"
command -v ogr2ogr >/dev/null || die "ogr2ogr not found (package gdal-bin)"

echo "== build ($build)"
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S "$repo" -B "$build" -DFENNICK_BENCH=ON >/dev/null
else
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFENNICK_BENCH=ON \
    -DFENNICK_BUILD_GUI=OFF -DFENNICK_BUILD_TESTS=OFF >/dev/null
fi
ninja -C "$build" -j2 fennick-merge fennick-gen-polygons >/dev/null
merge=$build/src/cli/fennick-merge
generate=$build/bench/fennick-gen-polygons

work=${WORK_DIR:-}
if [ -z "$work" ]; then
  work=$(mktemp -d /tmp/fennick-bench.XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"
cd "$work"

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# run NAME COMMAND...: one timed run; appends its wall-clock seconds to NAME.times. The shell's clock
# gives milliseconds (GNU time's elapsed time has hundredths only, too coarse next to the floor) and adds
# nothing of its own to the command's time.
run() {
  local name=$1
  shift
  local TIMEFORMAT=%3R seconds
  seconds=$({ time "$@" >/dev/null 2>"$name.err"; } 2>&1) || { cat "$name.err" >&2; die "$name failed"; }
  echo "$seconds" >>"$name.times"
}

# Removes every output, so that no run pays for deleting or overwriting another's.
clean_outputs() { rm -f fennick_out.* before_out.* ogr_out.* cat_out.bin copy_out.bin; }

# The contenders of every round: the build before a change is a fifth when BEFORE names it.
contenders=4
[ -z "$before" ] || contenders=5

# records_of FILE.shx: the record count its size gives.
records_of() { echo $((($(stat -c %s "$1") - 100) / 8)); }

# bench CASE EXPECTED_RECORDS INPUT...: the three contenders, alternating, $rounds rounds each.
bench() {
  local case=$1 expected=$2
  shift 2
  local inputs=("$@")
  # The floor reads the bytes the inputs hold and writes them once.
  local catFiles=()
  local f base
  for f in "${inputs[@]}"; do
    base=${f%.*}
    case ${f##*.} in
    tab) for ext in tab dat map id; do catFiles+=("$base.$ext"); done ;;
    gpkg | fgb) catFiles+=("$f") ;;
    *) for ext in shp shx dbf; do catFiles+=("$base.$ext"); done ;;
    esac
  done
  rm -f fennick.times ogrmerge.times cat.times copy.times before.times
  # One untimed run of each warms the page cache and checks the outputs; GNU time takes fennick-merge's
  # peak memory in it (the same in every run: the merge streams).
  clean_outputs
  /usr/bin/time -f "%M" -o fennick.peak "$merge" -q --no-sync "${fennickOptions[@]}" -o fennick_out.shp \
    "${inputs[@]}" >/dev/null
  $ogrmerge -single -f "ESRI Shapefile" -o ogr_out.shp "${inputs[@]}" >/dev/null 2>&1
  [ "$(records_of fennick_out.shx)" = "$expected" ] || die "$case: fennick-merge wrote $(records_of fennick_out.shx) records"
  [ "$(records_of ogr_out.shx)" = "$expected" ] || die "$case: ogrmerge wrote $(records_of ogr_out.shx) records"
  if [ -n "$before" ]; then
    "$before" -q --no-sync "${fennickOptions[@]}" -o before_out.shp "${inputs[@]}" >/dev/null
    for ext in shp shx dbf; do
      cmp -s "fennick_out.$ext" "before_out.$ext" || die "$case: the .$ext differs from the build before's"
    done
  fi
  for ((r = 0; r < rounds; r++)); do
    # Rotate the order every round so that no contender always runs after the same one.
    for ((k = 0; k < contenders; k++)); do
      clean_outputs
      case $(((r + k) % contenders)) in
      0) run fennick "$merge" -q --no-sync "${fennickOptions[@]}" -o fennick_out.shp "${inputs[@]}" ;;
      1) run ogrmerge $ogrmerge -single -f "ESRI Shapefile" -o ogr_out.shp "${inputs[@]}" ;;
      2) run cat sh -c 'cat "$@" >cat_out.bin' cat "${catFiles[@]}" ;;
      3) run copy sh -c 'cat "$@" | cat >copy_out.bin' cat "${catFiles[@]}" ;;
      4) run before "$before" -q --no-sync "${fennickOptions[@]}" -o before_out.shp "${inputs[@]}" ;;
      esac
    done
  done
  clean_outputs
  local fen ogr floor copy peak
  fen=$(median <fennick.times)
  ogr=$(median <ogrmerge.times)
  floor=$(median <cat.times)
  copy=$(median <copy.times)
  peak=$(cat fennick.peak)
  local bytes
  bytes=$(cat "${catFiles[@]}" | wc -c)
  printf '%-28s %8s %9s %6s %6s %12s %12s %13s %13s\n' "$case" "$fen" "$ogr" "$floor" "$copy" \
    "$(awk -v a="$fen" -v b="$ogr" 'BEGIN { printf "%.3f", a / b }')" \
    "$(awk -v a="$fen" -v b="$floor" 'BEGIN { printf "%.2f", a / b }')" \
    "$(awk -v a="$fen" -v b="$copy" 'BEGIN { printf "%.2f", a / b }')" \
    "$(awk -v k="$peak" 'BEGIN { printf "%.1f MB", k / 1024 }')"
  echo "  ($rounds rounds; input $((bytes / 1048576)) MB; times fennick: $(tr '\n' ' ' <fennick.times)ogrmerge: $(tr '\n' ' ' <ogrmerge.times)cat: $(tr '\n' ' ' <cat.times)copy: $(tr '\n' ' ' <copy.times))" >&2
  if [ -n "$before" ]; then
    local old
    old=$(median <before.times)
    echo "  build before: $old s, fennick/before $(awk -v a="$fen" -v b="$old" 'BEGIN { printf "%.3f", a / b }'); outputs equal" >&2
  fi
}

echo "== generating inputs in $work"
for i in 1 2 3 4; do
  "$generate" "in$i.shp" "$records" "$i"
  "$generate" "z$i.shp" "$records" "$i" z
done
rm -f in?.tab in?.dat in?.map in?.id parcels?.*
# MapInfo holds 32-bit integers in 11 characters, so the two TAB tables share their own layout.
for i in 1 2; do
  ogr2ogr -f "MapInfo File" "in$i.tab" "in$i.shp" -mapFieldType Integer64=Integer
  "$generate" "parcels$i.shp" "$records" "$((100 + i))" small
  ogr2ogr -f "MapInfo File" "parcels$i.tab" "parcels$i.shp" -mapFieldType Integer64=Integer
done
rm -f in1.gpkg in1.fgb
ogr2ogr -f GPKG in1.gpkg in1.shp
ogr2ogr -f FlatGeobuf in1.fgb in1.shp
mkdir -p small
smallInputs=()
for ((i = 1; i <= smallFiles; i++)); do
  "$generate" "small/s$i.shp" "$smallRecords" "$((1000 + i))"
  smallInputs+=("small/s$i.shp")
done
mkdir -p tiny
tinyInputs=()
for ((i = 1; i <= tinyFiles; i++)); do
  "$generate" "tiny/t$i.shp" "$tinyRecords" "$((20000 + i))" >/dev/null
  tinyInputs+=("tiny/t$i.shp")
done

echo "== machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-28s %8s %9s %6s %6s %12s %12s %13s %13s\n' "case (median seconds)" fennick ogrmerge cat copy fennick/ogr fennick/cat fennick/copy "fennick peak"
bench "4 x $records polygons" $((4 * records)) in1.shp in2.shp in3.shp in4.shp
bench "4 x $records polygons Z" $((4 * records)) z1.shp z2.shp z3.shp z4.shp
bench "2 TAB x $records polygons" $((2 * records)) in1.tab in2.tab
bench "2 TAB x $records parcels" $((2 * records)) parcels1.tab parcels2.tab
fennickOptions=(--match-names)
bench "GPKG + shp x $records" $((2 * records)) in1.gpkg in2.shp
bench "FlatGeobuf + shp x $records" $((2 * records)) in1.fgb in2.shp
fennickOptions=()
bench "$smallFiles x $smallRecords polygons" $((smallFiles * smallRecords)) "${smallInputs[@]}"
if ((tinyFiles > 0)); then
  bench "$tinyFiles x $tinyRecords polygons" $((tinyFiles * tinyRecords)) "${tinyInputs[@]}"
fi

# How the cost grows: one input listed N times against cat of its bytes N times, alternating. 64 listings of
# 200,000 records write about 4 GB, so only fennick-merge and cat are timed here.
if [ -n "$growth" ]; then
  printf '%-28s %8s %8s %12s %14s\n' "growth (median seconds)" fennick cat fennick/cat "ns per record"
  for n in $growth; do
    inputs=()
    catFiles=()
    for ((k = 0; k < n; k++)); do
      inputs+=(in1.shp)
      catFiles+=(in1.shp in1.shx in1.dbf)
    done
    rm -f fennick.times cat.times
    clean_outputs
    "$merge" -q --no-sync -o fennick_out.shp "${inputs[@]}" >/dev/null
    [ "$(records_of fennick_out.shx)" = "$((n * records))" ] || die "growth $n: fennick-merge wrote $(records_of fennick_out.shx) records"
    for ((r = 0; r < rounds; r++)); do
      for k in 0 1; do
        clean_outputs
        case $(((r + k) % 2)) in
        0) run fennick "$merge" -q --no-sync -o fennick_out.shp "${inputs[@]}" ;;
        1) run cat sh -c 'cat "$@" >cat_out.bin' cat "${catFiles[@]}" ;;
        esac
      done
    done
    clean_outputs
    fen=$(median <fennick.times)
    floor=$(median <cat.times)
    printf '%-28s %8s %8s %12s %14s\n' "$n x $records polygons" "$fen" "$floor" \
      "$(awk -v a="$fen" -v b="$floor" 'BEGIN { printf "%.2f", a / b }')" \
      "$(awk -v a="$fen" -v n="$((n * records))" 'BEGIN { printf "%.0f", a * 1e9 / n }')"
    echo "  ($rounds rounds; times fennick: $(tr '\n' ' ' <fennick.times)cat: $(tr '\n' ' ' <cat.times))" >&2
  done
fi

# The default merge, synced: the new files reach the disk before they take their names.
rm -f synced.times
for ((r = 0; r < rounds; r++)); do
  clean_outputs
  run synced "$merge" -q -o fennick_out.shp in1.shp in2.shp in3.shp in4.shp
done
clean_outputs
printf '%-28s %8s\n' "4 x $records polygons, synced" "$(median <synced.times)"

# What every run of fennick-merge pays before it reads an input: loading the libraries it links (GDAL only
# comes in with the first MapInfo table or WKT text).
rm -f startup.times
for ((r = 0; r < rounds; r++)); do
  run startup "$merge" --version
done
echo "fennick-merge start-up (--version), median of $rounds: $(median <startup.times) s"
