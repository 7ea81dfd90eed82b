#!/usr/bin/env bash
# Start-up: times `qvrender render` of a page with one image and of a page with one image and one
# text layer (whole processes: start, load the project and its picture, lay the text out, compose,
# write the PNG) against a process that only starts Qt as qvrender does for text
# (build/bench/startup/qv_qt_start: Qt Gui, the offscreen platform, the font database), and
# `qvrender --help` against a bare start of Qt Core (qv_qtcore_start). The runs alternate so that
# all see the same machine.
#
#   bench/startup.sh [RUNS]      default 20
#
# Prints the medians in milliseconds, wall and processor time (user + system; steadier on a busy
# machine), and the ratios (wall; `..._cpu` of processor time):
#   RATIO startup_render_vs_qt_start       the page of one image / Qt start
#   RATIO startup_text_render_vs_qt_start  the page of one image and one text layer / Qt start
#   RATIO startup_help_vs_qtcore_start     qvrender --help / Qt Core start
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
cmake --build "$build" -j "${QV_JOBS:-2}" --target qvrender qv_qt_start qv_qtcore_start >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/news/media/logo.png "$work/logo.png"
printf '\tObject %s:TQVSystem\n\t\tDuration = 10.00000000\n\tEnd\n\tObject %s:TImageLayer\n\t\tFileName = logo.png\n\t\tlayerName = logo\n\t\tX = 40\n\t\tY = 40\n\t\tWidth = 240\n\t\tHeight = 96\n\tEnd\n' "''" "''" >"$work/page.QV"
cp "$work/page.QV" "$work/text.QV"
printf '\tObject %s:TTextLayer\n\t\tText = Headline of the hour\n\t\tlayerName = headline\n\t\tX = 84\n\t\tY = 505\n\t\tWidth = 338\n\t\tHeight = 46\n\tEnd\n' "''" >>"$work/text.QV"

qvrender=$build/src/app/qvrender
qtstart=$build/bench/startup/qv_qt_start
qtcore=$build/bench/startup/qv_qtcore_start
# Warm the page cache once.
"$qvrender" render "$work/page.QV" -o "$work/frame.png"
"$qvrender" render "$work/text.QV" -o "$work/frame.png"
"$qtstart" && "$qtcore"

# One sample of the command: its wall time and its processor time (user + system) in
# milliseconds, each the mean of $reps runs in a row (the clock and the processor times count
# whole milliseconds; a start of Qt Core takes a few).
reps=10
TIMEFORMAT='%3R %3U %3S'
measure() {
  { time for ((k = 0; k < reps; k++)); do "$@" >/dev/null 2>&1; done; } 2>&1 |
    awk -v n=$reps '{ printf "%.2f %.2f\n", $1 * 1000 / n, ($2 + $3) * 1000 / n }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/render" && : >"$work/text" && : >"$work/qt" && : >"$work/help" && : >"$work/core"
for ((i = 0; i < runs; i++)); do
  measure "$qvrender" render "$work/page.QV" -o "$work/frame.png" >>"$work/render"
  measure "$qtstart" >>"$work/qt"
  measure "$qvrender" render "$work/text.QV" -o "$work/frame.png" >>"$work/text"
  measure "$qvrender" --help >>"$work/help"
  measure "$qtcore" >>"$work/core"
done
wall() { cut -d' ' -f1 <"$1" | median; }
cpu() { cut -d' ' -f2 <"$1" | median; }
awk -v r="$(wall "$work/render")" -v t="$(wall "$work/text")" -v q="$(wall "$work/qt")" \
    -v h="$(wall "$work/help")" -v c="$(wall "$work/core")" \
    -v rc="$(cpu "$work/render")" -v tc="$(cpu "$work/text")" -v qc="$(cpu "$work/qt")" \
    -v hc="$(cpu "$work/help")" -v cc="$(cpu "$work/core")" -v n="$runs" 'BEGIN {
  printf "medians of %d runs, wall (processor) ms: qvrender render of one image %.1f (%.1f), of one image and one text layer %.1f (%.1f), Qt start alone %.1f (%.1f); qvrender --help %.1f (%.1f), Qt Core start alone %.1f (%.1f)\n", n, r, rc, t, tc, q, qc, h, hc, c, cc
  printf "RATIO startup_render_vs_qt_start %.3f\n", r / q
  printf "RATIO startup_render_vs_qt_start_cpu %.3f\n", rc / qc
  printf "RATIO startup_text_render_vs_qt_start %.3f\n", t / q
  printf "RATIO startup_text_render_vs_qt_start_cpu %.3f\n", tc / qc
  printf "RATIO startup_help_vs_qtcore_start %.3f\n", h / c
  printf "RATIO startup_help_vs_qtcore_start_cpu %.3f\n", hc / cc
}'
