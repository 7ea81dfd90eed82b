#!/usr/bin/env bash
# Start-up: times `qvrender render` of a page with one image (a whole process: start, load the
# project and its picture, compose, write the PNG) against a process that only starts Qt as
# qvrender does (build/bench/startup/qv_qt_start), and `qvrender --help`. The runs alternate so
# that both see the same machine.
#
#   bench/startup.sh [RUNS]      default 20
#
# Prints the medians in milliseconds and `RATIO startup_render_vs_qt_start <render / Qt start>`.
# Environment: QV_BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-20}
build=${QV_BUILD_DIR:-build}
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/qv-ccache}"
export QT_QPA_PLATFORM=offscreen

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j "${QV_JOBS:-2}" --target qvrender qv_qt_start >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/news/media/logo.png "$work/logo.png"
printf '\tObject %s:TQVSystem\n\t\tDuration = 10.00000000\n\tEnd\n\tObject %s:TImageLayer\n\t\tFileName = logo.png\n\t\tlayerName = logo\n\t\tX = 40\n\t\tY = 40\n\t\tWidth = 240\n\t\tHeight = 96\n\tEnd\n' "''" "''" >"$work/page.QV"

qvrender=$build/src/app/qvrender
qtstart=$build/bench/startup/qv_qt_start
"$qvrender" render "$work/page.QV" -o "$work/frame.png"  # warm the page cache once

# Wall time of one run of the command, in microseconds.
micros() {
  local t0 t1
  t0=$(date +%s%N)
  "$@" >/dev/null
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/render" && : >"$work/qt" && : >"$work/help"
for ((i = 0; i < runs; i++)); do
  micros "$qvrender" render "$work/page.QV" -o "$work/frame.png" >>"$work/render"
  micros "$qtstart" >>"$work/qt"
  micros "$qvrender" --help >>"$work/help"
done
render=$(median <"$work/render")
qt=$(median <"$work/qt")
help=$(median <"$work/help")
awk -v r="$render" -v q="$qt" -v h="$help" -v n="$runs" 'BEGIN {
  printf "median of %d runs: qvrender render (one image) %.1f ms, Qt start alone %.1f ms, qvrender --help %.1f ms\n", n, r / 1000, q / 1000, h / 1000
  printf "RATIO startup_render_vs_qt_start %.3f\n", r / q
}'
