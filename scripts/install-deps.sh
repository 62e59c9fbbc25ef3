#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need; does nothing when all are present.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libgdal-dev gdal-bin python3-gdal
  libproj-dev proj-bin proj-data
  libssl-dev
  qt6-base-dev qt6-base-dev-tools
  nlohmann-json3-dev
  # libclang-rt-dev holds clang's libFuzzer and sanitizer runtimes; clang only recommends it, and
  # recommended packages are not installed here.
  clang libclang-rt-dev
  xvfb xauth x11-utils time
  # make package: the package tools, its check, and the manual pages' renderer
  dpkg-dev lintian groff-base man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
