#!/usr/bin/env bash
# The Debian package as a user gets it: cpack -G DEB from a Release build, lintian and
# desktop-file-validate, `apt-get install` on this machine, the installed qvrender rendering the
# example page from an empty folder, the installed editor's --help and a start without a display,
# the desktop and MIME databases, then `apt-get purge`, after which nothing of the package is left.
# The package is removed at the end whatever happens.
#
# usage: scripts/test-package.sh [BUILD_DIR]     (default build: a Release build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:-build}" && pwd)

say() { echo "== test-package: $*"; }
fail() { echo "test-package: FAILED: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "needs root (it installs the package)"
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -y -q -o DPkg::Lock::Timeout=300)

# One package test at a time on this machine: they install the same package.
exec 9>/tmp/qv-package-test.lock
flock -w 900 9 || fail "another package test holds /tmp/qv-package-test.lock"

work=$(mktemp -d /tmp/qv-package.XXXXXX)
chmod 755 "$work"
editor_pid=""
installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' qv 2>/dev/null)" != "" ] &&
              [ "$(dpkg-query -W -f='${db:Status-Status}' qv 2>/dev/null)" != "not-installed" ]; }
finish() {
  local status=$?
  set +e
  if [ -n "$editor_pid" ]; then kill "$editor_pid" 2>/dev/null; wait "$editor_pid" 2>/dev/null; fi
  if installed; then "${apt[@]}" purge qv >/dev/null 2>&1 || echo "test-package: could not remove qv" >&2; fi
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM

if installed; then
  say "removing a qv package left installed"
  "${apt[@]}" purge qv >/dev/null
fi

say "cpack -G DEB in $build"
cmake --build "$build" >/dev/null
(cd "$build" && cpack -G DEB -B "$work/package") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/package/qv_*.deb)
dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | grep -v '/$' | sort > "$work/files"
echo "$(basename "$deb"): $(wc -l < "$work/files") files, $(du -k "$deb" | cut -f1) KiB"

# The files a user expects, every plug-in the build made among them.
for f in /usr/bin/qveditor /usr/bin/qvrender /usr/share/applications/qveditor.desktop \
         /usr/share/mime/packages/qveditor.xml /usr/share/icons/hicolor/scalable/apps/qveditor.svg \
         /usr/share/icons/hicolor/48x48/apps/qveditor.png /usr/share/icons/hicolor/256x256/apps/qveditor.png \
         /usr/share/man/man1/qvrender.1.gz /usr/share/man/man1/qveditor.1.gz \
         /usr/share/qv/examples/news/news.QV /usr/share/qv/examples/batch/render-array.sh \
         /usr/share/doc/qv/copyright /usr/share/doc/qv/changelog.gz; do
  grep -qx "$f" "$work/files" || fail "the package has no $f"
done
plugins=$(cat "$build/install-files/plugins.txt")  # written by cmake/Install.cmake
[ -n "$plugins" ] || fail "the build lists no plug-ins"
for p in $plugins; do grep -qx "/usr/lib/qv/$p" "$work/files" || fail "the package has no /usr/lib/qv/$p"; done
# Dependencies from the binaries (dpkg-shlibdeps), not from a list.
depends=$(dpkg-deb -f "$deb" Depends)
for d in libc6 libqt6core6 libqt6widgets6 libpng16-16; do
  echo "$depends" | grep -qE "(^|, )$d( |,|$)" || fail "Depends lacks $d: $depends"
done

say "lintian and desktop-file-validate"
lintian_status=0
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
grep -v "running with root privileges" "$work/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/qveditor.desktop" || fail "desktop-file-validate"

say "apt-get install $(basename "$deb")"
"${apt[@]}" install --no-install-recommends "$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "apt-get install"; }
installed || fail "qv is not installed after apt-get install"

say "the installed qvrender renders the example page from an empty folder"
mkdir "$work/empty"
(cd "$work/empty" && LD_DEBUG=files qvrender render /usr/share/qv/examples/news/news.QV -o news.png --frame 200 \
  --time 18:00:00 2>"$work/render.log") || { grep -v '^ *[0-9]*:' "$work/render.log"; fail "qvrender render"; }
[ "$(command -v qvrender)" = /usr/bin/qvrender ] || fail "qvrender on the PATH is $(command -v qvrender)"
# The page needs the scaling plug-in: it came from the package's folder.
grep -q "calling init: /usr/bin/../lib/qv/qv_resize_plugin.so" "$work/render.log" ||
  fail "the installed qvrender did not open /usr/lib/qv/qv_resize_plugin.so"
[ "$(ls "$work/empty")" = news.png ] || fail "the render left more than its picture: $(ls "$work/empty")"
"$build/src/app/qvrender" render "$root/examples/news/news.QV" -o "$work/built.png" --frame 200 --time 18:00:00
cmp -s "$work/empty/news.png" "$work/built.png" || fail "the installed qvrender's page differs from the build's"
for p in /usr/lib/qv/*.so; do
  ! ldd "$p" | grep -q "not found" || fail "$p: $(ldd "$p" | grep 'not found')"
done
qvrender --help | grep -q "^exit status:" || fail "qvrender --help"
man -w qvrender qveditor >/dev/null || fail "man finds no qvrender(1) or qveditor(1)"

say "the installed qveditor: --help, and a start without a display on the example page"
qveditor --help | grep -q "^usage:" || fail "qveditor --help"
mkdir "$work/cache"
XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=offscreen LD_DEBUG=files \
  qveditor /usr/share/qv/examples/news/news.QV 2>"$work/editor.log" &
editor_pid=$!
# The window writes its checkerboard into the cache and draws the page (with the scaling plug-in).
for _ in $(seq 1 100); do
  [ -f "$work/cache/Tessaly/qveditor/grid.png" ] && grep -q "calling init: .*qv_resize_plugin" "$work/editor.log" && break
  kill -0 "$editor_pid" 2>/dev/null || break
  sleep 0.2
done
kill -0 "$editor_pid" 2>/dev/null || { grep -v '^ *[0-9]*:' "$work/editor.log"; fail "qveditor ended"; }
[ -f "$work/cache/Tessaly/qveditor/grid.png" ] || fail "qveditor wrote no grid.png into the cache"
grep -q "calling init: /usr/bin/../lib/qv/qv_resize_plugin.so" "$work/editor.log" || {
  grep -v '^ *[0-9]*:' "$work/editor.log"
  grep "calling init" "$work/editor.log" | tail -n 5
  fail "qveditor did not draw the example page with /usr/lib/qv/qv_resize_plugin.so"
}
kill "$editor_pid"
wait "$editor_pid" 2>/dev/null || true
editor_pid=""
[ ! -e /usr/bin/grid.png ] || fail "the installed editor wrote /usr/bin/grid.png"

say "the desktop and MIME databases: .QV files open in the editor"
grep -q "^[0-9]*:application/x-qv-project:\*\.qv" /usr/share/mime/globs2 || fail "no *.qv in the MIME database"
grep -q "^application/x-qv-project=.*qveditor.desktop" /usr/share/applications/mimeinfo.cache ||
  fail "the desktop database does not open application/x-qv-project with qveditor.desktop"

say "apt-get purge qv"
"${apt[@]}" purge qv >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "apt-get purge"; }
! installed || fail "qv is still installed"
while read -r f; do [ ! -e "$f" ] || fail "$f is left after the purge"; done < "$work/files"
for d in /usr/lib/qv /usr/share/qv /usr/share/doc/qv; do [ ! -e "$d" ] || fail "$d is left after the purge"; done
! grep -q "x-qv-project" /usr/share/mime/globs2 /usr/share/applications/mimeinfo.cache ||
  fail "the MIME type is still registered"
say "passed"
