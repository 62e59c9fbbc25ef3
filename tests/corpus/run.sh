#!/usr/bin/env bash
# The corpus test: fetches the real layers into CORPUS_DIR once, then merges each with itself.
# usage: run.sh FENNICK_MERGE CORPUS_DIR
# Without the packages it is skipped (exit 77), except in CI (CI set), where it fails.
set -uo pipefail

merge=$1
corpus=$2
here=$(cd "$(dirname "$0")" && pwd)

if [ ! -x "$merge" ]; then
  echo "corpus: $merge is not built; build the default target first" >&2
  exit 1
fi

"$here/../../scripts/fetch-corpus.sh" "$corpus"
rc=$?
if [ $rc -eq 3 ] && [ -z "${CI:-}" ]; then
  echo "corpus: SKIPPED: the Debian packages holding the layers cannot be fetched"
  exit 77
elif [ $rc -ne 0 ]; then
  echo "corpus: fetching the layers failed (exit $rc)" >&2
  exit 1
fi

exec /usr/bin/python3 "$here/self_merge.py" "$merge" "$corpus"
