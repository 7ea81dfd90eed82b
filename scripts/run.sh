#!/usr/bin/env bash
# Installs what is missing, builds, installs qveditor and qvrender into out/, and runs the main job:
# the editor on the example page examples/news/news.QV when a display is available, otherwise the
# same page rendered by qvrender. Says which it did.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/qv-ccache}"
# Paths below the checkout are hashed relative to it (and debug builds do not hash the folder), so
# a fresh clone elsewhere reuses what an earlier build of the same sources compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)"
cmake --install build --prefix out >/dev/null

# A display that answers: the editor (Wayland sessions run it through XWayland or their own Qt
# platform plug-in).
if [ -n "${WAYLAND_DISPLAY:-}" ] || { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }; then
  echo "A display is available: starting the editor on examples/news/news.QV (out/bin/qveditor)."
  exec out/bin/qveditor examples/news/news.QV
fi

echo "No display: rendering examples/news/news.QV with qvrender instead of starting the editor."
frame=24
out/bin/qvrender render examples/news/news.QV -o out/news.png --frame "$frame" --checkerboard
out/bin/qvrender render examples/news/news.QV -o out/news.tga --frame "$frame"
echo "Layers of examples/news/news.QV at frame $frame (index, class, name, X, Y, Width, Height, bounds):"
out/bin/qvrender info examples/news/news.QV --frame "$frame"
echo
echo "Rendered frame $frame of the example page with qvrender:"
echo "  $(pwd)/out/news.png  (over the editor's checkerboard, straight-alpha PNG)"
echo "  $(pwd)/out/news.tga  (the composition's own premultiplied pixels on transparent black)"
echo "qvrender is installed as $(pwd)/out/bin/qvrender; 'out/bin/qvrender --help' shows its commands."
