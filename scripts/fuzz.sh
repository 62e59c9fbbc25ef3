#!/usr/bin/env bash
# Builds every fuzz target with clang and libFuzzer and runs each, one after the other, for SECONDS seconds
# (default 60). Crashes are reported with the path of the input that reproduces them; replay one with
#   build-fuzz-clang/fuzz/<name>_fuzzer <path>
#
#   scripts/fuzz.sh [--smoke] [SECONDS]
#
# --smoke: skip quietly (status 0) when clang's libFuzzer is not installed.
# Environment: FUZZ_BUILD (build folder), FUZZ_TARGETS (names, default all), JOBS (build jobs, default 2).
set -euo pipefail

smoke=0
if [[ ${1:-} == --smoke ]]; then
  smoke=1
  shift
fi
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz-clang}
targets=${FUZZ_TARGETS:-"shp dbf stx enc wkt merge tab"}
jobs=${JOBS:-2}

have_libfuzzer() {
  command -v clang++ >/dev/null 2>&1 || return 1
  local probe
  probe=$(mktemp -d)
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    >"$probe/probe.cpp"
  clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1
  local rc=$?
  rm -rf "$probe"
  return $rc
}

if ! have_libfuzzer; then
  if ((smoke)); then
    echo "fuzz: clang's libFuzzer is not installed; the fuzz smoke run is skipped"
    exit 0
  fi
  echo "fuzz: clang with libFuzzer is needed (apt-get install clang)" >&2
  exit 2
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFENNICK_FUZZ=ON -DFENNICK_BUILD_GUI=OFF -DFENNICK_BUILD_TESTS=OFF >/dev/null
names=()
for t in $targets; do names+=("${t}_fuzzer"); done
cmake --build "$build" -j "$jobs" --target fennick-fuzz-seeds "${names[@]}"

fuzz="$build/fuzz"
rm -rf "$fuzz/seeds"
ASAN_OPTIONS=detect_leaks=0 "$fuzz/fennick-fuzz-seeds" "$fuzz/seeds"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
total=0
summary=()
for t in $targets; do
  corpus="$fuzz/corpus/$t"
  artifacts="$fuzz/artifacts/$t"
  log="$fuzz/logs/$t.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  echo "fuzz: $t for ${seconds}s"
  set +e
  "$fuzz/${t}_fuzzer" "$corpus" "$fuzz/seeds/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  execs=${execs:-0}
  total=$((total + execs))
  if ((rc != 0)); then
    failed=1
    reproducer=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
    summary+=("$t: FAILED after $execs executions; reproducer: ${reproducer:-(none)}; log: $log")
    grep -m3 -E 'ERROR: |runtime error|SUMMARY' "$log" | sed 's/^/    /' || true
  else
    summary+=("$t: $execs executions, no findings")
  fi
done
printf 'fuzz: %s\n' "${summary[@]}"
echo "fuzz: $total executions in total"
exit $failed
