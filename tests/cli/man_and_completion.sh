#!/usr/bin/env bash
# The manual pages and the bash completion against the tools themselves: every option --help lists is in the
# tool's page and every option of the page is in --help; the pages render without a warning; the completion
# offers the tools' options and layer files.
# Usage: man_and_completion.sh TOOL_DIR SOURCE_DIR
set -uo pipefail
tools=$1
src=$2
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

options_of_help() { "$tools/$1" --help | grep -oE -- '(^|[ [,])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' [,' | sort -u; }
options_of_page() { sed 's/\\-/-/g' "$src/docs/man/$1.1" | grep -oE -- '(^|[ ,"(])--?[a-zA-Z][a-zA-Z-]*' |
  tr -d ' ,"(' | sort -u; }

for tool in fennick-merge fennick-info; do
  help=$(options_of_help "$tool")
  page=$(options_of_page "$tool")
  only_help=$(comm -23 <(echo "$help") <(echo "$page"))
  only_page=$(comm -13 <(echo "$help") <(echo "$page"))
  [ -z "$only_help" ] || fail "$tool: --help lists what its page does not: $only_help"
  [ -z "$only_page" ] || fail "$tool: its page lists what --help does not: $only_page"
done
for page in "$src"/docs/man/*.1; do
  warnings=$(groff -ww -z -man "$page" 2>&1)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# The completion, run as bash-completion runs it (extglob on).
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/roads.shp" "$scratch/roads.dbf" "$scratch/parks.TAB" "$scratch/notes.txt"
mkdir "$scratch/more"
complete_line() { # words...: the completions of the last word
  PATH="$tools:$PATH" bash -c 'shopt -s extglob; source "$1"; shift; COMP_WORDS=("$@");
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _fennick; printf "%s\n" "${COMPREPLY[@]}" | sort' _ \
    "$src/packaging/completion/fennick-tools.bash" "$@"
}
check() { # expected-lines words...
  local expected=$1; shift
  local got; got=$(complete_line "$@" | tr '\n' ' ')
  [ "$got" = "$expected" ] || fail "completing '$*': got '$got', expected '$expected'"
}
check "--match-names " fennick-merge --match
check "--records " fennick-info --rec
check "ISO-8859-1 ISO-8859-15 ISO-8859-2 ISO-8859-5 ISO-8859-7 " fennick-merge --encoding ISO
check "$scratch/more $scratch/parks.TAB $scratch/roads.shp " fennick-merge -o out.shp "$scratch/"
check "$scratch/more $scratch/roads.shp " fennick-merge -o "$scratch/"
exit $failed
