#!/usr/bin/env bash
# Unpacks the Debian package into a scratch root and runs it from there: the version, and a merge of the
# bundled samples (a MapInfo table among them, so the GDAL module is found in the private folder); then
# lintian, which must report no error.
# Usage: scripts/test-package.sh [BUILD_DIR]   (the folder make package wrote the .deb into; default build)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
debs=("$build"/fennick_*.deb)
[ -f "${debs[0]}" ] || { echo "test-package: no fennick_*.deb in $build (run make package)" >&2; exit 1; }
deb=${debs[${#debs[@]}-1]}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

dpkg-deb -I "$deb" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\|Installed-Size\):/&/p'
dpkg-deb -f "$deb" Depends | grep -q 'libgdal' || { echo "test-package: Depends names no GDAL" >&2; exit 1; }
dpkg-deb -x "$deb" "$root"

for page in fennick-merge fennick-info fennick; do
  [ -f "$root/usr/share/man/man1/$page.1.gz" ] || { echo "test-package: no manual page $page(1)" >&2; exit 1; }
done
"$root/usr/bin/fennick-info" --version
"$root/usr/bin/fennick-merge" --version
out=$root/out
mkdir "$out"
"$root/usr/bin/fennick-merge" -q -o "$out/all.shp" "$repo"/samples/north.shp "$repo"/samples/south.shp \
  "$repo"/samples/centre.shp
"$root/usr/bin/fennick-merge" -q -o "$out/tab.shp" "$repo"/samples/east.tab "$repo"/samples/east.tab
expected=$(($(ogrinfo -ro -so -al "$repo/samples/north.shp" | sed -n 's/^Feature Count: //p') +
  $(ogrinfo -ro -so -al "$repo/samples/south.shp" | sed -n 's/^Feature Count: //p') +
  $(ogrinfo -ro -so -al "$repo/samples/centre.shp" | sed -n 's/^Feature Count: //p')))
got=$(ogrinfo -ro -so -al "$out/all.shp" | sed -n 's/^Feature Count: //p')
[ "$got" = "$expected" ] || { echo "test-package: the merge from the package wrote $got records, not $expected" >&2; exit 1; }
echo "test-package: the unpacked programs merged $got records"

if command -v lintian >/dev/null; then
  status=0
  report=$(lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1) || status=$?
  printf '%s\n' "$report" | grep -v '^running with root privileges' || true
  [ "$status" -eq 0 ] || { echo "test-package: lintian reports errors" >&2; exit 1; }
  echo "test-package: lintian reports no error"
fi
