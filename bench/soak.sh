#!/usr/bin/env bash
# Soak: composes many frames of a project with qvrender (its clock and crawls running, the crawls
# restarting again and again) without writing them, and watches the process from outside: resident
# memory (VmRSS), threads and open files (/proc/PID/fd), sampled every second.
#
#   bench/soak.sh [FRAMES] [PROJECT]      default: 100000 frames of examples/news/news.QV
#
# Prints the samples to build/soak-samples.txt and the figures: memory after warm-up (the first
# sample after a fifth of the run, and at least 5 s in) against the end and the largest after warm-up, the change in per cent,
# and the largest and last thread and open-file counts. Exit status 1 when memory moved more than
# 5 % after warm-up or threads or open files grew. Environment: QV_BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."

frames=${1:-100000}
project=${2:-examples/news/news.QV}
build=${QV_BUILD_DIR:-build}
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/qv-ccache}"
export QT_QPA_PLATFORM=offscreen

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j "${QV_JOBS:-2}" --target qvrender >/dev/null
samples=$build/soak-samples.txt

start=$(date +%s.%N)
elapsed() { awk -v now="$(date +%s.%N)" -v start="$start" 'BEGIN { printf "%.2f", now - start }'; }
# The clock runs from a fixed time, 40 ms per frame, like a playout.
"$build/src/app/qvrender" sequence "$project" --no-output --from 0 --to $((frames - 1)) \
  --time 12:00:00.000 &
pid=$!

echo "# seconds rss_kb threads fds" >"$samples"
while kill -0 "$pid" 2>/dev/null; do
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
  fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l || true)
  [ -n "$rss" ] && echo "$(elapsed) $rss $threads $fds" >>"$samples"
  sleep 0.5
done
status=0
wait "$pid" || status=$?
seconds=$(elapsed)
if [ "$status" -ne 0 ]; then
  echo "soak: qvrender failed with status $status" >&2
  exit 1
fi

awk -v frames="$frames" -v seconds="$seconds" '
  !/^#/ { n++; t[n] = $1; rss[n] = $2; thr[n] = $3; fd[n] = $4 }
  END {
    warm = seconds / 5; if (warm < 5) warm = 5
    w = 0
    for (i = 1; i <= n; i++) if (!w && t[i] >= warm) w = i
    if (!w || w == n) { print "soak: the run was too short to see past the warm-up (" n " samples in " seconds " s)"; exit 1 }
    maxRss = 0; maxThr = 0; maxFd = 0; maxThrW = 0; maxFdW = 0
    for (i = 1; i <= n; i++) {
      if (thr[i] > maxThr) maxThr = thr[i]
      if (fd[i] > maxFd) maxFd = fd[i]
      if (i >= w) {
        if (rss[i] > maxRss) maxRss = rss[i]
        if (thr[i] > maxThrW) maxThrW = thr[i]
        if (fd[i] > maxFdW) maxFdW = fd[i]
      }
    }
    change = (rss[n] - rss[w]) * 100.0 / rss[w]
    peak = (maxRss - rss[w]) * 100.0 / rss[w]
    printf "SOAK frames %d in %.1f s (%.0f frames/s), %d samples, warm-up until %.1f s\n", frames, seconds, frames / seconds, n, t[w]
    printf "SOAK rss_kb after_warmup %d end %d change %+.2f%% max_after_warmup %d (%+.2f%%)\n", rss[w], rss[n], change, maxRss, peak
    printf "SOAK threads after_warmup %d end %d max %d\n", thr[w], thr[n], maxThr
    printf "SOAK open_files after_warmup %d end %d max %d\n", fd[w], fd[n], maxFd
    ok = (change <= 5 && change >= -5 && peak <= 5 && thr[n] <= thr[w] && fd[n] <= fd[w])
    print (ok ? "SOAK PASS" : "SOAK FAIL")
    exit ok ? 0 : 1
  }' "$samples"
