#!/usr/bin/env bash
# Fails when a source file includes a header of a folder above its own in the layer order below.
# Folders on one level (shp, tab, proj; cli, ui) may not include each other either.
# Usage: scripts/check-layers.sh [SRC_DIR]
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}

# The order, lowest first; folders joined by "," share a level.
levels=(platform data search coordsys shp,tab,proj merge cli,ui)

declare -A level
for i in "${!levels[@]}"; do
  IFS=, read -ra names <<<"${levels[$i]}"
  for n in "${names[@]}"; do level[$n]=$i; done
done

bad=0
for dir in "$src"/*/; do
  folder=$(basename "$dir")
  if [ -z "${level[$folder]+x}" ]; then
    echo "check-layers: src/$folder has no place in the layer order (scripts/check-layers.sh)" >&2
    bad=1
    continue
  fi
  while IFS=: read -r file line text; do
    target=$(sed -E 's|^#include "([a-z]+)/.*|\1|' <<<"$text")
    [ "$target" = "$folder" ] && continue
    if [ -z "${level[$target]+x}" ] || [ "${level[$target]}" -ge "${level[$folder]}" ]; then
      echo "check-layers: ${file#"$src"/}:$line includes $target, which is not below $folder" >&2
      bad=1
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^#include "[a-z]+/' "$dir" || true)
done
exit $bad
