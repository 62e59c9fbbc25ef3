#!/usr/bin/env bash
# Fetches Debian packages that carry real map layers (R's sf, spData, maptools and spdep shapes, geopandas'
# Natural Earth layers) and unpacks them into DEST, for the corpus test. Nothing is installed: the packages
# are only downloaded and unpacked. Does nothing when DEST already holds them.
# Exit status: 0 done, 3 the packages cannot be fetched, 1 any other failure, 2 usage.
set -euo pipefail

packages=(r-cran-sf r-cran-spdata r-cran-maptools r-cran-spdep python3-geopandas)

if [ $# -ne 1 ]; then
  echo "usage: $0 DEST" >&2
  exit 2
fi
dest=$1
stamp=$dest/.fetched

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "${packages[*]}" ]; then
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# apt fetches as its own user where it can write; without this it warns and fetches as the caller.
chmod 755 "$work"

download() {
  (cd "$work" && apt-get download "${packages[@]}") >>"$work/apt.log" 2>&1
}

if ! download; then
  # An old or missing package list is the usual cause: refresh it and try once more. Refreshing needs root;
  # without a terminal sudo must not wait for a password.
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
    [ -t 0 ] || sudo="sudo -n"
  fi
  echo "fetch-corpus: download failed, refreshing the package lists" >&2
  $sudo apt-get update -qq >>"$work/apt.log" 2>&1 || true
  if ! download; then
    sed 's/^/  /' "$work/apt.log" >&2
    echo "fetch-corpus: cannot fetch the packages ${packages[*]} (see apt-get's words above)" >&2
    exit 3
  fi
fi

mkdir -p "$dest"
for deb in "$work"/*.deb; do
  dpkg-deb -x "$deb" "$dest"
done
# Written last, so an interrupted run is done again in full.
echo "${packages[*]}" >"$stamp"
echo "fetch-corpus: unpacked ${packages[*]} into $dest"
