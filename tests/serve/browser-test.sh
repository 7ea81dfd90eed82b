#!/usr/bin/env bash
# The control page in Debian's chromium, headless (tests/serve/web/control-page.test.js, driven by
# puppeteer-core from npm), against qvrender serve playing examples/serve, its frames read from a
# FIFO. Installs puppeteer-core with npm ci when it is missing; starts serve and stops it by its
# process id whatever happens.
#   tests/serve/browser-test.sh QVRENDER [SCREENSHOT.png]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
qvrender=$(realpath "$1")
shot=${2:+$(realpath -m "$2")}
export QV_CHROMIUM=${QV_CHROMIUM:-/usr/bin/chromium}
if [ ! -x "$QV_CHROMIUM" ]; then
  echo "browser-test: no chromium at $QV_CHROMIUM (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
cd "$here/web"
if [ ! -f node_modules/puppeteer-core/package.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi

work=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cp -r "$root/examples/serve" "$root/examples/news" "$work/"
mkfifo "$work/frames.fifo"
: >"$work/serve.err"
"$qvrender" serve "$work/serve/rundown.json" --raw "$work/frames.fifo" --listen 127.0.0.1:0 2>"$work/serve.err" &
server=$!
port=""
for _ in $(seq 1 600); do
  port=$(sed -n 's|.*on http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$work/serve.err")
  [ -n "$port" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "browser-test: serve did not start:" >&2
  cat "$work/serve.err" >&2
  exit 1
fi
status=0
# The test stops serve itself (SIGTERM) while it still reads the frames.
node control-page.test.js "$qvrender" "$server" "$port" "$work/frames.fifo" "$work" $shot || status=$?
serve_status=0
wait "$server" || serve_status=$?
server=""
if [ "$serve_status" -ne 0 ]; then
  echo "browser-test: serve ended with status $serve_status:" >&2
  cat "$work/serve.err" >&2
  status=1
fi
exit $status
