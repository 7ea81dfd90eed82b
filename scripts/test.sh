#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: a Release build, then the same tests
# built with AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzzer for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/qv-ccache}"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

build() {  # build DIR [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== Release build and tests"
build build -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=address,undefined -DQV_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== Fuzzers (libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer), 60 s each"
# They start from the seed inputs in fuzz/corpus and keep what they find under build-fuzz/.
QV_FUZZ_JOBS="$jobs" bash scripts/fuzz.sh 60
