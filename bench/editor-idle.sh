#!/usr/bin/env bash
# The editor's processor use while nobody touches it: qveditor under Xvfb on a static page (a
# picture and a text) and on the example page (a clock and two crawls, drawn at 25 frames per
# second), each measured over 10 s from /proc after start-up has settled.
#
#   bench/editor-idle.sh [SECONDS]      default 10
#
# Prints "editor_idle_static_cpu <percent of one core>" (target: under 2) and
# "editor_idle_news_cpu <percent>". Environment: QV_BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb-lib.sh

seconds=${1:-10}
build_targets qveditor
editor=$build/src/app/qveditor

work=$(mktemp -d)
cp examples/news/media/logo.png "$work/logo.png"
printf '\tObject %s:TQVSystem\n\t\tDuration = 10.00000000\n\tEnd\n\tObject %s:TImageLayer\n\t\tFileName = logo.png\n\t\tlayerName = logo\n\t\tX = 40\n\t\tY = 40\n\t\tWidth = 240\n\t\tHeight = 96\n\tEnd\n\tObject %s:TTextLayer\n\t\tlayerName = title\n\t\tText = Quiet page\n\tEnd\n' "''" "''" "''" >"$work/static.QV"

# Settings and recovery files of its own: no offer to recover another editor's page.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
start_xvfb
trap 'kill $XVFB_PID 2>/dev/null || true; rm -rf "$work"' EXIT
ticks=$(getconf CLK_TCK)

# cpu_ticks PID: user + system clock ticks the process has used.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

measure() {
  local name=$1 project=$2
  "$editor" "$project" >/dev/null 2>&1 &
  local pid=$!
  wait_for_window "Tessaly \\(QV\\)" >/dev/null
  sleep 3  # start-up, the project's load and the first frames
  local before after
  before=$(cpu_ticks "$pid")
  sleep "$seconds"
  after=$(cpu_ticks "$pid")
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk -v n="$name" -v d=$((after - before)) -v t="$ticks" -v s="$seconds" \
    'BEGIN { printf "%s %.2f\n", n, 100.0 * d / t / s }'
}

measure editor_idle_static_cpu "$work/static.QV"
measure editor_idle_news_cpu "$(pwd)/examples/news/news.QV"
