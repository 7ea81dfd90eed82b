#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, benchmark and run.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev
  # libraries
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # the editor's SVG icons
  qt6-svg-dev libqt6svg6
  libpng-dev libjpeg62-turbo-dev libgif-dev
  # PNG writing: libdeflate compresses the pixel data; pngcheck checks the written files in tests
  libdeflate-dev pngcheck
  libopenimageio-dev openimageio-tools
  libopencv-imgproc-dev libopencv-core-dev
  libpixman-1-dev
  # qvrender batch: its CSV reader, and GNU parallel for the example that spreads a run
  libcsv-dev parallel
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # fonts covering Latin, Greek, Cyrillic, Arabic, Hebrew and monochrome symbols/emoji
  fontconfig fonts-dejavu-core fonts-dejavu-extra fonts-liberation2
  fonts-noto-core fonts-freefont-ttf fonts-symbola
  # Wine's Tahoma: the text layers' default face, with the widths pages were laid out for
  fonts-wine
  # headless display for the editor and screenshots
  xvfb xauth x11-utils xdotool imagemagick
  # video files for playout: FFmpeg's libraries encode and decode (no command-line ffmpeg at run
  # time); the ffmpeg package brings ffprobe, which the video tests use to check what was written
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg
  # the newsroom's data file for live playout: a small header-only JSON reader
  nlohmann-json3-dev
  # qvrender serve: its HTTP server; the control page's test drives Debian's chromium, headless,
  # with puppeteer-core from npm (Node.js)
  libcpp-httplib-dev chromium nodejs
  # profiling the benchmarks (perf record -e cpu-clock works without hardware counters)
  linux-perf
  # the Debian package (scripts/test-package.sh): cpack's dependency list (dpkg-shlibdeps, file),
  # its checks, and the databases and manual pages it registers with
  dpkg-dev fakeroot file lintian desktop-file-utils shared-mime-info man-db
  # a single-node Slurm cluster for the job-array test (scripts/test-cluster.sh); python3 finds
  # free ports
  slurm-wlm munge python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# npm comes with Node.js from some sources and as a package of its own from Debian's.
command -v npm >/dev/null 2>&1 || missing+=(npm)

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
