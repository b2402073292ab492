#!/usr/bin/env bash
# Runs the desk tests (test_desk) on a private X display: Xvfb at 1600 x 1000, 24 bits,
# on a free display number, with the openbox window manager. Everything started here is
# stopped when the script ends, however it ends.
#   run_desk.sh [path/to/test_desk] [gtest arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
test_desk=${1:-$here/../../build/bin/test_desk}
shift || true

for tool in Xvfb openbox xdotool xwininfo xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "run_desk: $tool is missing (scripts/setup.sh installs it)" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-desk.XXXXXX")
xvfb_pid=
wm_pid=
cleanup() {
  if [[ -n $wm_pid ]] && ! kill -0 "$wm_pid" 2>/dev/null; then
    echo "run_desk: openbox ended during the run:" >&2
    cat "$work/openbox.log" >&2
  fi
  [[ -n $wm_pid ]] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# A free display number: Xvfb takes the number it is given only when no server holds it,
# and writes it to the descriptor once it accepts clients. The search starts at a random
# high number, away from the :0 and :99 that other X servers on the machine (and programs
# that assume them) tend to use.
start_xvfb() {
  Xvfb ":$1" -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s $work/display ]] && return 0
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
  return 1
}
base=$((200 + RANDOM % 700))
for n in $(seq "$base" $((base + 40))); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
  start_xvfb "$n" && break
done
if [[ -z $xvfb_pid ]]; then
  echo "run_desk: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"
for _ in $(seq 100); do
  xprop -root >/dev/null 2>&1 && break
  sleep 0.1
done
if ! xprop -root >/dev/null 2>&1; then
  echo "run_desk: the display $DISPLAY does not answer:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi

# openbox with its default configuration, no session manager; it manages windows once it
# has set _NET_SUPPORTING_WM_CHECK on the root window. Now and then it cannot open a display
# that has only just started to answer: it is given three tries.
start_openbox() {
  HOME=$work openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$wm_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  wm_pid=
  return 1
}
for try in 1 2 3; do
  start_openbox && break
  echo "run_desk: openbox did not start (try $try):" >&2
  cat "$work/openbox.log" >&2
  sleep 0.5
done
if [[ -z $wm_pid ]]; then
  echo "run_desk: openbox does not manage the display" >&2
  exit 1
fi
echo "run_desk: display $DISPLAY, openbox running"

# The tests and the tool run on the real display; nothing of an offscreen or scaled set-up
# of the calling environment comes along.
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING
export QT_QPA_PLATFORM=xcb
mkdir -m 0700 "$work/run"
export XDG_RUNTIME_DIR=$work/run
status=0
"$test_desk" "$@" || status=$?
exit "$status"
