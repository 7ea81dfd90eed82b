#!/usr/bin/env bash
# A batch of 40 rows of the example page drawn by four jobs under ThreadSanitizer: each job loads
# and draws its own page on its own thread. Every picture must equal the same row drawn by one job.
#   scripts/tsan-batch.sh QVRENDER   (a qvrender built with -DQV_SANITIZE=thread)
# Races inside the system's text libraries are left to them (scripts/tsan.supp).
set -euo pipefail
cd "$(dirname "$0")/.."
qvrender=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

{
  echo 'name,Meta1,headline.Font.FontSize,strap.Opacity,logo.X'
  for i in $(seq 1 40); do
    echo "row-$i,Name number $i – Title $i,$((20 + i % 12)),$((120 + i * 3)),$((i * 9 - 200))"
  done
} > "$work/rows.csv"

export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp}
"$qvrender" batch examples/news/news.QV "$work/rows.csv" -o "$work/four/{name}.png" --frame 40 --time 09:30:00 --jobs 4
"$qvrender" batch examples/news/news.QV "$work/rows.csv" -o "$work/one/{name}.png" --frame 40 --time 09:30:00 --jobs 1
count=$(find "$work/four" -name '*.png' | wc -l)
if [ "$count" -ne 40 ]; then
  echo "tsan-batch: $count pictures written by four jobs, not 40" >&2
  exit 1
fi
diff -r "$work/four" "$work/one"
echo "tsan-batch: 40 rows by four jobs under ThreadSanitizer, equal to one job's"
