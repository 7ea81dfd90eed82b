#!/usr/bin/env bash
# Playback in the editor: qveditor plays the example page in a loop under Xvfb (its own steady
# clock, 25 frames per second) for SECONDS at 768 x 576 and again made 1920 x 1080 (the page scaled
# to its panel), and prints what it showed against what was due.
#
#   bench/editor-play.sh [SECONDS]      default 60
#
# Prints "editor_play_sd shown <n> due <n> dropped <n>" and "editor_play_hd ..." (target: 0 dropped
# on a quiet machine). Environment: QV_BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb-lib.sh

seconds=${1:-60}
build_targets qveditor
editor=$build/src/app/qveditor

work=$(mktemp -d)
python3 bench/hd-page.py examples/news/news.QV "$work/news-hd.QV"

start_xvfb 1400x1000x24
trap 'kill $XVFB_PID 2>/dev/null || true; rm -rf "$work"' EXIT

play() {
  local name=$1 project=$2 line
  line=$("$editor" --play "$seconds" "$project" 2>/dev/null | grep '^played:' || true)
  [ -n "$line" ] || { echo "$name: the editor printed no figures" >&2; return 1; }
  # "played: 1500 frames shown of 1500 due, 0 dropped"
  echo "$line" | awk -v n="$name" '{ print n, "shown", $2, "due", $6, "dropped", $8 }'
}

play editor_play_sd "$(pwd)/examples/news/news.QV"
play editor_play_hd "$work/news-hd.QV"
