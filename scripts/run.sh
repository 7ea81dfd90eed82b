#!/usr/bin/env bash
# Installs what is missing, builds, installs qvrender into out/, and runs the main job: the example
# page examples/news/news.QV rendered by qvrender (the editor takes this over once it exists).
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
