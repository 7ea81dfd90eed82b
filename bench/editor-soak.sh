#!/usr/bin/env bash
# Looped playback for a long time: qveditor plays the example page under Xvfb for MINUTES (30 by
# default) and the script reads its resident memory, threads and open files from /proc once a
# minute (or every SAMPLE seconds). Resident memory must stay within 2 % of its value at minute 2
# (or at the second sample of a short run) to the end, threads and open files constant. Its two
# parts are printed beside: the editor's own (anonymous) pages and those of the files it maps.
#
#   bench/editor-soak.sh [MINUTES] [SAMPLE]     defaults 30 and 60
#
# Prints one "minute <m> rss_kb <n> anon_kb <n> file_kb <n> threads <n> fds <n>" line per sample, then
# "editor_soak_rss_drift <percent>" and "editor_soak PASS" or "editor_soak FAIL <why>" (exit 1).
# Environment: QV_BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb-lib.sh

minutes=${1:-30}
sample=${2:-60}
build_targets qveditor
editor=$build/src/app/qveditor

start_xvfb
seconds=$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')
out=$(mktemp)
"$editor" --play "$seconds" "$(pwd)/examples/news/news.QV" >"$out" 2>/dev/null &
pid=$!
trap 'kill $pid 2>/dev/null || true; kill $XVFB_PID 2>/dev/null || true; rm -f "$out"' EXIT

samples=$(( seconds / sample ))
declare -a rss anon file threads fds
for ((i = 1; i <= samples; i++)); do
  sleep "$sample"
  [ -d "/proc/$pid" ] || break
  rss[i]=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
  anon[i]=$(awk '/^RssAnon:/ { print $2 }' "/proc/$pid/status")
  file[i]=$(awk '/^RssFile:/ { print $2 }' "/proc/$pid/status")
  threads[i]=$(awk '/^Threads:/ { print $2 }' "/proc/$pid/status")
  fds[i]=$(ls "/proc/$pid/fd" | wc -l)
  awk -v s="$i" -v p="$sample" -v r="${rss[i]}" -v a="${anon[i]}" -v m="${file[i]}" -v t="${threads[i]}" \
    -v f="${fds[i]}" 'BEGIN { printf "minute %.1f rss_kb %d anon_kb %d file_kb %d threads %d fds %d\n", s * p / 60, r, a, m, t, f }'
done
wait "$pid" || true
cat "$out"

n=${#rss[@]}
[ "$n" -ge 3 ] || { echo "editor_soak FAIL too few samples ($n)"; exit 1; }
# The reference: minute 2, or the second sample of a shorter run.
ref=$(( 120 / sample ))
(( ref < 2 )) && ref=2
(( ref > n - 1 )) && ref=$(( n - 1 ))
fail=""
drift=0
for ((i = ref; i <= n; i++)); do
  d=$(awk -v a="${rss[i]}" -v b="${rss[ref]}" 'BEGIN { x = 100 * (a - b) / b; if (x < 0) x = -x; printf "%.2f", x }')
  drift=$(awk -v a="$d" -v b="$drift" 'BEGIN { print (a > b ? a : b) }')
  [ "${threads[i]}" = "${threads[ref]}" ] || fail="$fail threads ${threads[ref]} -> ${threads[i]};"
  [ "${fds[i]}" = "${fds[ref]}" ] || fail="$fail open files ${fds[ref]} -> ${fds[i]};"
done
echo "editor_soak_rss_drift $drift"
awk -v d="$drift" 'BEGIN { exit !(d > 2) }' && fail="$fail resident memory moved ${drift} %;"
if [ -n "$fail" ]; then
  echo "editor_soak FAIL$fail"
  exit 1
fi
echo "editor_soak PASS"
