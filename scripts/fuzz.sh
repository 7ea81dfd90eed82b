#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs each for SECONDS (default 60), one after the other.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      targets: project keys image plaintext rtf serve (default: all built)
#
# Each target starts from its seed inputs in fuzz/corpus/<target>/ and from the fixtures the tests
# read (the data/ folders under tests/ and the example's media; all read only), and keeps what it
# finds in build-fuzz/corpus/<target>/, so later runs go on from there. A crashing input is
# written to build-fuzz/artifacts/<target>/; keep it as a test fixture, then fix. The last lines
# of each run (executions, coverage) are in build-fuzz/logs/<target>.log.
# Environment: QV_FUZZ_JOBS (build jobs, default 2), QV_FUZZ_ARGS (extra libFuzzer flags),
# QV_FUZZ_BUILD_DIR (default build-fuzz; a second one lets long runs go on while you rebuild).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
if [ $# -gt 0 ]; then shift; fi
all=(project keys image plaintext rtf serve)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/qv-ccache}"
# Paths below the checkout are hashed relative to it (and debug builds do not hash the folder), so
# a fresh clone elsewhere reuses what an earlier build of the same sources compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
export QT_QPA_PLATFORM=offscreen
build=${QV_FUZZ_BUILD_DIR:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON >/dev/null
cmake --build "$build" -j "${QV_FUZZ_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

# The test fixtures each target reads as further seeds (folders are read recursively).
fixtures() {
  case $1 in
    image) echo tests/raster/data examples/news/media ;;
    plaintext) echo tests/crawl/data tests/project/data examples/news/media ;;
    rtf) echo tests/rtf/data tests/crawl/data examples/news/media ;;
    project) echo tests/project/data examples/news ;;
    keys) echo tests/project/data ;;
  esac
}

status=0
for t in "${targets[@]}"; do
  seeds=fuzz/corpus/$t
  extra=()
  for d in $(fixtures "$t"); do [ -d "$d" ] && extra+=("$d"); done
  work=$build/corpus/$t
  artifacts=$build/artifacts/$t
  log=$build/logs/$t.log
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  echo "== fuzz $t for $seconds s"
  # shellcheck disable=SC2086
  if "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=30 -rss_limit_mb=4096 \
       -max_len=65536 -artifact_prefix="$artifacts/" "${dict[@]}" ${QV_FUZZ_ARGS:-} "$work" "$seeds" "${extra[@]}" >"$log" 2>&1; then
    # The last status line (cov:, ft:, corpus, exec/s) and libFuzzer's final statistics.
    grep -E '^#[0-9]+' "$log" | tail -n 1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
  else
    status=1
    echo "fuzz $t FAILED; the input is in $artifacts/, the report in $log:"
    grep -E 'ERROR|FUZZ CHECK|SUMMARY|Test unit written' "$log" | head -n 20 || tail -n 40 "$log"
  fi
done
exit $status
