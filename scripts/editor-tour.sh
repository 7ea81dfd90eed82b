#!/usr/bin/env bash
# Drives qveditor under Xvfb the way an operator would and photographs each step: the example
# page opened from the command line, layers picked, dragged, resized and nudged, the time ruler
# clicked, zoomed and typed into, a text layer inserted from the toolbar and its grid opened, the
# page's own grid, the page saved with Ctrl+S and opened again in a new editor; there a layer
# deleted, brought back with Ctrl+Z and deleted again with Ctrl+Y, the "*" of unsaved changes in
# the title, the editor killed (SIGKILL) and started again to its offer of the unsaved page; in the
# recovered page the safe areas shown, a drag resting on the graphics-safe frame with its guide, the
# page at 200 %, and the Data panel filling the headline's slot; then, in a fourth editor, the
# layer timeline, playback, automatic keying with its red frame, the keyed nudges undone and redone,
# a layer dragged on a track and the timeline's context menu.
#
#   scripts/editor-tour.sh [OUT_DIR]      default out/screens
#
# Writes OUT_DIR/NN-step.png, and docs/editor.png (the editor on the example page, small),
# docs/editor-keys.png (automatic keying on) and docs/frame.png for the README. Environment: QV_BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb-lib.sh

out=${1:-out/screens}
build_targets qveditor qvrender
editor=$(pwd)/$build/src/app/qveditor
mkdir -p "$out" docs

# A copy of the example, so that saving never touches the one in the source tree.
work=$(mktemp -d)
cp -r examples/news "$work/news"
project=$work/news/news.QV

# Settings and recovery files of the tour's own, so that nothing of the user's moves the window.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
recovery=$XDG_DATA_HOME/Tessaly/qveditor/recovery

start_xvfb 1500x1040x24  # wide enough for the window with its Data panel, tall for the timeline
trap 'kill $XVFB_PID 2>/dev/null || true; rm -rf "$work"' EXIT

shot() { import -window root "$out/$1.png"; echo "  $out/$1.png"; }
# The display has no window manager, so no title bars: this photograph gets the window's title
# written under the window.
titled_shot() {
  local title
  title=$(xdotool getwindowname "$1")
  import -window root "$out/$2.png"
  convert "$out/$2.png" -font "$(fc-match -f "%{file}" sans)" -fill white -pointsize 16 -annotate +10+1032 "Title: $title" "$out/$2.png"
  echo "  $out/$2.png (title: $title)"
}
# Page coordinates to screen coordinates: the window sits at the top-left corner of the bare
# display; the work area is centred in its panel below the menu and the toolbar panel.
origin_x=48
origin_y=94
at() { echo $((origin_x + $1)) $((origin_y + $2)); }
move() { xdotool mousemove $(at "$1" "$2"); sleep 0.15; }
drag() {  # drag from (x1, y1) to (x2, y2) in page coordinates, in small steps as a hand would
  local x1=$1 y1=$2 x2=$3 y2=$4 i
  move "$x1" "$y1"
  xdotool mousedown 1
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $(at $((x1 + (x2 - x1) * i / 8)) $((y1 + (y2 - y1) * i / 8)))
    sleep 0.05
  done
  xdotool mouseup 1
  sleep 0.2
}

echo "Photographs of the editor:"
"$editor" "$project" >"$work/editor.log" 2>&1 &
editor_pid=$!
win=$(wait_for_window "Tessaly \\(QV\\)")
sleep 2
shot 01-opened

# Pick the headline (its text starts at page x 84, y 505) and drag it up by 60 pixels.
move 200 525
shot 02-hover
xdotool click 1
sleep 0.2
drag 200 525 200 465
shot 03-dragged

# Pick the strap (a picture at 64, 468, 640 × 72) and widen it by its right handle.
move 650 520
xdotool click 1
sleep 0.2
drag 704 504 744 504
shot 04-resized

# Nudge it with the keys: three to the right, one down.
xdotool key --window "$win" Right Right Right Down
sleep 0.3
shot 05-nudged

# The time ruler under the page (right of the timeline's name column, fitted to the page's 10 s
# and its sequences): a click puts the playhead (and the page) at ten seconds, the wheel zooms
# out, and a time typed into the field beside it goes there.
xdotool mousemove 658 705 click 1
sleep 0.5
shot 06-ruler
xdotool mousemove 600 712 click 5 click 5 click 5 click 5
sleep 0.5
shot 07-ruler-zoomed-out
xdotool mousemove 1158 711 click --repeat 3 1 type "00:04:00"
xdotool key Return
sleep 0.5
shot 08-ruler-typed

# Insert a text layer with the third toolbar button (48 × 48 icons in 55 × 54 buttons).
xdotool mousemove 148 48 click 1
sleep 0.5
shot 09-text-inserted

# The grid with the text's Contour, Shadow and Font groups opened (from the bottom up, so the
# rows above stay where they are), then the page's own properties: the object list's first row.
for y in 521 504 487; do xdotool mousemove 900 $y click 1; sleep 0.2; done
sleep 0.3
shot 10-grid-text-expanded
xdotool mousemove 950 200 click 1
xdotool key Home
sleep 0.5
shot 11-grid-page

# Save over the copy with Ctrl+S, and open the saved page in a second editor.
xdotool key --window "$win" ctrl+s
sleep 0.5
shot 12-saved
kill "$editor_pid"
wait "$editor_pid" 2>/dev/null || true
grep -q "Text000" "$project" && echo "  saved: $project holds the inserted Text000"
"$editor" "$project" >>"$work/editor.log" 2>&1 &
editor_pid=$!
win=$(wait_for_window "Tessaly \\(QV\\)")
sleep 2
shot 13-reopened

# Pick the strap and delete it: the title gains its "*". Ctrl+Z brings it back, Ctrl+Y takes it
# away again, and Ctrl+Z once more brings it back.
move 300 500
xdotool click 1
sleep 0.2
xdotool key --window "$win" Delete
sleep 0.5
titled_shot "$win" 14-deleted
xdotool key --window "$win" ctrl+z
sleep 0.5
titled_shot "$win" 15-undone
xdotool key --window "$win" ctrl+y
sleep 0.5
titled_shot "$win" 16-redone
xdotool key --window "$win" ctrl+z
sleep 0.3
# Ten nudges make ten changes since the saved state: the page goes to its recovery file.
xdotool key --window "$win" Right Right Right Right Right Right Right Right Right Right
sleep 0.5
titled_shot "$win" 17-unsaved
for _ in $(seq 50); do
  ls "$recovery"/page-*.qvrecovery >/dev/null 2>&1 && break
  sleep 0.1
done
echo "  recovery file: $(ls "$recovery"/page-*.qvrecovery)"

# A crash: the editor is killed, and the next start offers the unsaved page, naming its file.
kill -9 "$editor_pid"
wait "$editor_pid" 2>/dev/null || true
"$editor" >>"$work/editor.log" 2>&1 &
editor_pid=$!
wait_for_window "Recover unsaved changes" >/dev/null
sleep 1
shot 18-recovery-offer
xdotool key Return
win=$(wait_for_window "news.QV\\* - Tessaly")
sleep 1
titled_shot "$win" 19-recovered

# The safe areas (View > Safe Areas, Ctrl+'): action-safe, graphics-safe. A click on empty page
# space first gives the window the keyboard (and selects nothing).
move 700 330
xdotool click 1
sleep 0.2
xdotool key --window "$win" ctrl+apostrophe
sleep 0.5
shot 20-safe-areas
# The strap (680 wide since its resize) dragged 28 pixels left: its right side comes within reach
# of the graphics-safe frame's and rests on it; the guides show while the button is held (also the
# lines of other layers its unmoved top, middle and bottom lie on).
move 300 504
xdotool mousedown 1
for x in 295 290 285 280 276 272; do xdotool mousemove $(at $x 504); sleep 0.05; done
sleep 0.4
shot 21-snap-guide
xdotool mouseup 1
sleep 0.2
# 200 % (Ctrl+2): every page pixel a block of four.
xdotool key --window "$win" ctrl+2
sleep 0.5
shot 22-zoomed-200
xdotool key --window "$win" ctrl+0
# The Data panel (Ctrl+Shift+D) opens on the first slot, which the headline shows.
xdotool key --window "$win" ctrl+shift+d
sleep 0.5
xdotool type "Storm warning for the coast"
xdotool key Return
sleep 0.8
shot 23-data-panel
kill "$editor_pid"
wait "$editor_pid" 2>/dev/null || true

# Playback and keys, in a window tall enough for the layer timeline to show every layer; settings
# and recovery files of its own, so that the killed editor's page is not offered and the window
# takes the size it is given.
XDG_CONFIG_HOME=$work/config-keys XDG_DATA_HOME=$work/data-keys \
  "$editor" -geometry 1120x1010+0+0 "$project" >>"$work/editor.log" 2>&1 &
editor_pid=$!
win=$(wait_for_window "Tessaly \\(QV\\)")
sleep 2
xdotool mousemove 20 400 click 1  # the window takes the keys
shot 24-timeline
xdotool key --window "$win" space
sleep 2
shot 25-playing
xdotool key --window "$win" space
# Automatic keying on (the red frame), at two seconds; the logo nudged right keys its X there.
xdotool key --window "$win" ctrl+shift+a
xdotool mousemove 1072 711 click --repeat 3 1 type "00:02:00"
xdotool key Return
xdotool mousemove 200 180 click 1
sleep 0.2
xdotool key --window "$win" ctrl+Right ctrl+Right ctrl+Right ctrl+Right ctrl+Right
sleep 0.5
shot 26-auto-keying
# The nudges (one step, their keys with them) undone, then redone: the Edit menu names the step.
xdotool key --window "$win" ctrl+z
sleep 0.5
titled_shot "$win" 27-keys-undone
xdotool key --window "$win" ctrl+y
sleep 0.5
titled_shot "$win" 28-keys-redone
# The track of "logo small" (the ninth row of the timeline): its bar dragged a second later,
# then the context menu on its first key (which has moved with nothing: keys stay on their frames).
row_y=927
xdotool mousemove 400 $row_y mousedown 1 mousemove 425 $row_y mousemove 451 $row_y mouseup 1
sleep 0.3
xdotool mousemove 218 $row_y click 3
sleep 0.5
shot 29-context-menu
xdotool key Escape
kill "$editor_pid"
wait "$editor_pid" 2>/dev/null || true

# The README's pictures, kept small: the editor as it opens, and a frame rendered by qvrender.
convert "$out/01-opened.png" -crop 1204x999+0+0 +repage -resize 800x -strip -colors 256 docs/editor.png
convert "$out/26-auto-keying.png" -crop 1120x1010+0+0 +repage -resize 800x -strip -colors 256 docs/editor-keys.png
"$build/src/app/qvrender" render examples/news/news.QV -o "$work/frame.png" --frame 200 --checkerboard
convert "$work/frame.png" -resize 512x -strip -colors 256 docs/frame.png
echo "  docs/editor.png, docs/editor-keys.png, docs/frame.png"
