#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a Release build, its Debian package
# (installed, used and removed again) and its job arrays on a single-node Slurm cluster, then the
# same tests built with AddressSanitizer and UndefinedBehaviorSanitizer, the lifetime tests and the
# crawl's worker tests built with ThreadSanitizer, then each fuzzer for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/qv-ccache}"
# Paths below the checkout are hashed relative to it (and debug builds do not hash the folder), so
# a fresh clone elsewhere reuses what an earlier build of the same sources compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

build() {  # build DIR [cmake options...] [--target T...]: configures, then builds everything or the targets
  local dir=$1; shift
  local options=() targets=()
  while [ $# -gt 0 ]; do
    if [ "$1" = --target ]; then targets+=(--target "$2"); shift 2; else options+=("$1"); shift; fi
  done
  cmake -S . -B "$dir" -G Ninja "${options[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" "${targets[@]}"
}

echo "== Release build and tests"
build build -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== The Debian package: cpack, lintian, apt-get install, the installed programs, apt-get purge"
bash scripts/test-package.sh build

echo "== A single-node Slurm cluster: job arrays of examples/batch/render-array.sh"
bash scripts/test-cluster.sh build

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=address,undefined -DQV_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== ThreadSanitizer build, the lifetime tests (layers, compositions and files going away under running threads, pages on threads), the crawl's worker tests, serve's pages on the worker and the playout, and a batch of four jobs"
# The crawl tests run the worker threads on fake text engines (no Qt), so every access is seen.
build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=thread -DQV_BUILD_BENCH=OFF --target lifetime_tests \
  --target crawl_tests --target serve_tests --target qvrender
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
  -R '^([A-Za-z]*Lifetime|PagesOnThreads|CrawlLayout|RollLayer|TextStrip|RichTextLine|ProgramTest|OnAirTest)\.' --no-tests=error
bash scripts/tsan-batch.sh build-tsan/src/app/qvrender

echo "== Fuzzers (libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer), 60 s each"
# They start from the seed inputs in fuzz/corpus and keep what they find under build-fuzz/.
QV_FUZZ_JOBS="$jobs" bash scripts/fuzz.sh 60
