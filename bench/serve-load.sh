#!/usr/bin/env bash
# Load on qvrender serve while it plays the example page: 10 s of mixed requests at 200 a second
# (reads, field edits, cues) from our own client (build/bench/serve/qv_serve_load) while the
# program's frames are read from a FIFO; then the take latency in frames.
#
#   bench/serve-load.sh [RATE] [SECONDS] [MIX]      default: 200 requests a second for 10 s, MIX
#                                                   12:5:3 (reads:edits:cues of every 20)
#
# Prints the requests' latencies (p50, p90, p99, max), the frames dropped during the load, the
# take latencies and `RATIO serve_api_p99_vs_frame <p99 / 40 ms>` (at most 0.25 is the aim) and
# `RATIO serve_take_latency_vs_two_frames <worst take / 2 frames>` (at most 1). Exit status 1 when
# a request failed or a frame was dropped. Serve is stopped by its process id whatever happens.
# Environment: QV_BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."

rate=${1:-200}
seconds=${2:-10}
mix=${3:-12:5:3}
build=${QV_BUILD_DIR:-build}
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/qv-ccache}"
export QT_QPA_PLATFORM=offscreen

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j "${QV_JOBS:-2}" --target qvrender qv_serve_load >/dev/null

work=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The example page, the example rundown's lower third, and a marker page for the take latency:
# an opaque magenta square at the top left, where the example page draws nothing.
cp -r examples/news examples/serve "$work/"
convert -size 24x24 xc:magenta "$work/marker.png"
printf '\tObject %s:TQVSystem\r\n\tEnd\r\n\tObject %s:TImageLayer\r\n\t\tFileName = marker.png\r\n\t\tlayerName = marker\r\n\t\tX = 0\r\n\t\tY = 0\r\n\t\tWidth = 24\r\n\t\tHeight = 24\r\n\tEnd\r\n' "''" "''" >"$work/marker.QV"
cat >"$work/rundown.json" <<'JSON'
{"rows": [
  {"id": "news", "page": "news/news.QV", "layer": 1, "fields": {}},
  {"id": "anna", "page": "serve/lower-third.QV", "layer": 2, "fields": {"Meta1": "Anna Berg", "title.Text": "Reporter"}},
  {"id": "ben", "page": "serve/lower-third.QV", "layer": 2, "fields": {"Meta1": "Ben Okafor", "title.Text": "Weather"}},
  {"id": "cara", "page": "serve/lower-third.QV", "layer": 2, "fields": {"Meta1": "Cara Lind", "title.Text": "Sport"}},
  {"id": "marker", "page": "marker.QV", "layer": 2, "fields": {}}
]}
JSON
mkfifo "$work/frames.fifo"
: >"$work/serve.err"
"$build/src/app/qvrender" serve "$work/rundown.json" --raw "$work/frames.fifo" --listen 127.0.0.1:0 2>"$work/serve.err" &
server=$!
port=""
for _ in $(seq 1 600); do
  port=$(sed -n 's|.*on http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$work/serve.err")
  [ -n "$port" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "serve-load: serve did not start:" >&2
  cat "$work/serve.err" >&2
  exit 1
fi
status=0
"$build/bench/serve/qv_serve_load" "$port" "$work/frames.fifo" 768 576 "$rate" "$seconds" "$mix" || status=$?
kill -TERM "$server"
wait "$server" 2>/dev/null || true
server=""
grep -v '^qvrender: serving' "$work/serve.err" >&2 || true
exit $status
