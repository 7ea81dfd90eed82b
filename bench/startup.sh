#!/usr/bin/env bash
# Start-up: times `qvrender render` of a page with one image (a whole process: start, load the
# project and its picture, compose, write the PNG) against a process that only starts Qt as
# qvrender does (build/bench/startup/qv_qt_start), and `qvrender --help`. The runs alternate so
# that both see the same machine.
#
#   bench/startup.sh [RUNS]      default 20
#
# Prints the medians in milliseconds, wall and processor time (user + system; steadier on a busy
# machine), and `RATIO startup_render_vs_qt_start <render / Qt start>` (wall) and `..._cpu`.
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

# One run of the command: its wall time and its processor time (user + system), in milliseconds.
TIMEFORMAT='%3R %3U %3S'
measure() {
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.1f %.1f\n", $1 * 1000, ($2 + $3) * 1000 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/render" && : >"$work/qt" && : >"$work/help"
for ((i = 0; i < runs; i++)); do
  measure "$qvrender" render "$work/page.QV" -o "$work/frame.png" >>"$work/render"
  measure "$qtstart" >>"$work/qt"
  measure "$qvrender" --help >>"$work/help"
done
wall() { cut -d' ' -f1 <"$1" | median; }
cpu() { cut -d' ' -f2 <"$1" | median; }
awk -v r="$(wall "$work/render")" -v q="$(wall "$work/qt")" -v h="$(wall "$work/help")" \
    -v rc="$(cpu "$work/render")" -v qc="$(cpu "$work/qt")" -v hc="$(cpu "$work/help")" -v n="$runs" 'BEGIN {
  printf "medians of %d runs, wall (processor) ms: qvrender render of one image %.1f (%.1f), Qt start alone %.1f (%.1f), qvrender --help %.1f (%.1f)\n", n, r, rc, q, qc, h, hc
  printf "RATIO startup_render_vs_qt_start %.3f\n", r / q
  printf "RATIO startup_render_vs_qt_start_cpu %.3f\n", rc / qc
}'
