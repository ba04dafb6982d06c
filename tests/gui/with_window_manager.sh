#!/usr/bin/env bash
# Runs the window tests that need a window manager (WindowManagerTest) on a virtual X
# display of their own with openbox, as a desktop runs the window. Exits 77 (skipped)
# where Xvfb or openbox is not installed.
#   bash tests/gui/with_window_manager.sh build/tests/gui_tests
set -euo pipefail
gui_tests=$1
for program in Xvfb openbox; do
  command -v "$program" >/dev/null || { echo "$program is not installed: skipped"; exit 77; }
done
work=$(mktemp -d)
server= manager=
finish() {
  [ -n "$manager" ] && kill "$manager" 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
# Xvfb picks a free display and writes its number once it takes connections.
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
openbox --sm-disable 2>"$work/openbox.log" &
manager=$!
sleep 1
HOME="$work" QT_QPA_PLATFORM=xcb "$gui_tests" --gtest_filter='WindowManagerTest.*'
