#!/usr/bin/env bash
# Fails when a catch drops the reason of a failure outside the places listed below. A failure travels as an
# exception inside the core and crosses an interface through Guarded (platform/Boundary.h), which keeps it for
# the caller; so a hand-written catch (...) must rethrow (throw;) or keep the exception
# (std::current_exception()), and a catch of the family without a name must not just return.
# Usage: scripts/check-catches.sh [SRC_DIR]
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}

# FILE COUNT: how many catches that neither rethrow nor keep the exception the file may hold, and why.
allowed=(
  "platform/Boundary.h 1"          # Guarded itself
  "platform/Boundary.cpp 1"        # a foreign exception has no text to give
  "tab/GdalModuleEntries.cpp 1"    # the module's C entry: GDAL's own words are reported instead
  "shp/ShpDS.cpp 1"                # bounds that cannot be read leave a record out of a region
  "tab/MiTabFiles.cpp 1"           # a .map header that cannot be read leaves the type to the table
  "shp/XBaseDatabase.cpp 1"        # the fast copy's probe: the record is read again the slow way, which says why
)

declare -A limit
for entry in "${allowed[@]}"; do
  read -r file count <<<"$entry"
  limit[$file]=$count
done

bad=0
while IFS= read -r path; do
  rel=${path#"$src"/}
  # Each catch-all, or unnamed catch of an exception kind, with its block up to the brace at its indent;
  # printed when the block neither rethrows nor keeps the exception.
  found=$(awk '
    function flush() {
      if (open && block !~ /throw;/ && block !~ /current_exception\(\)/ && block !~ /KeepFailure\(\)/)
        print start ": " head
      open = 0
    }
    {
      if (open) {
        block = block "\n" $0
        if (match($0, /^ *\}/) && RLENGTH - 1 == indent) flush()
        next
      }
      catchAll = $0 ~ /catch *\( *\.\.\. *\)/
      # An unnamed catch whose block only returns drops what it caught.
      unnamed = $0 ~ /catch *\(const CException *& *\) *\{ *$/
      if (catchAll || unnamed) {
        match($0, /^ */); indent = RLENGTH
        sub(/^ *\} */, "", $0)
        head = $0; start = FNR; block = ""; open = 1; kind = catchAll
        if (!catchAll) {
          getline nextLine
          block = nextLine
          if (nextLine !~ /^ *return [^;]*; *$/) open = 0
        }
      }
    }
    END { if (open) flush() }
  ' "$path")
  [ -z "$found" ] && continue
  n=$(wc -l <<<"$found")
  if [ "$n" -gt "${limit[$rel]:-0}" ]; then
    while IFS= read -r line; do
      echo "check-catches: src/$rel:$line drops the reason; go through Guarded (platform/Boundary.h)," \
        "rethrow, or list the file in scripts/check-catches.sh" >&2
    done <<<"$found"
    bad=1
  fi
done < <(find "$src" -name '*.cpp' -o -name '*.h' | sort)
exit $bad
