# Sourced by the scripts that run the editor on a virtual display: start_xvfb starts Xvfb on the
# first free display number and exports DISPLAY; it is stopped when the script exits.
start_xvfb() {
  local size=${1:-1280x900x24}
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 "$size" -nolisten tcp >/dev/null 2>&1 &
      XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
      done
      trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
      return 0
    fi
  done
  echo "no free display number for Xvfb" >&2
  return 1
}

# wait_for_window PATTERN: the id of the first shown window whose title matches the regular
# expression PATTERN.
wait_for_window() {
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "window '$1' did not appear" >&2; return 1; }
  echo "$id"
}

# build_targets TARGET...: configures the build folder ($QV_BUILD_DIR, default build) when it is
# new and builds the targets in it; sets `build` to the folder.
build_targets() {
  build=${QV_BUILD_DIR:-build}
  export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/qv-ccache}"
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$build" -j "${QV_JOBS:-2}" --target "$@" >/dev/null
}
