#!/usr/bin/env bash
# The real orvelan under a virtual X server, driven from outside with
# xdotool as a user drives it: started in a fresh working directory whose
# orvelan.ini chooses file input of a demo take, it gets "+" (a third
# track), a drag on the azimuth display from 0 to 90 degrees, the output
# sink armed, Rec and Start; once two seconds of beams are on disk (the
# recorder writes in large buffers, so a little more), a screenshot while
# the meters move, Stop, and the window closed with its question answered
# Discard. The take is long enough not to loop meanwhile. The beam take
# must hold 3 channels of 24-bit samples at 44100 Hz, no capsule take may
# be left, and orvelan.ini must still choose file input of the take. Every wait is on a condition, with bounds
# generous enough for a loaded machine. The screenshot is kept in the
# build's Testing/window_end_to_end folder (printed).
#
#   window_end_to_end_test.sh SOURCE_DIR BUILD_DIR WINDOW_LAYOUT
set -uo pipefail

# Inside the virtual server. Prints "FAIL: ..." lines; exits non-zero on
# the first step that cannot go on.
session() {
  source "$1"
  fail() { echo "FAIL: $*"; exit 1; }
  # wait_for SECONDS COMMAND...: polls the condition every 0.1 s.
  wait_for() {
    local bound=$(($1 * 10))
    shift
    for _ in $(seq "$bound"); do
      "$@" && return 0
      sleep 0.1
    done
    return 1
  }

  (cd "$ORVELAN_E2E_LAYOUT_DIR" && "$ORVELAN_E2E_LAYOUT_TOOL" layout) >"$ORVELAN_E2E_LAYOUT_DIR/layout.txt" ||
    fail "the layout of the window could not be taken"
  at() { awk -v name="$1" '$1 == name { print $2, $3 }' "$ORVELAN_E2E_LAYOUT_DIR/layout.txt"; }
  echo "layout: $(tr '\n' ';' <"$ORVELAN_E2E_LAYOUT_DIR/layout.txt")"

  cd "$ORVELAN_E2E_WORK" || fail "no working directory"
  "$ORVELAN_E2E_PROGRAM" &
  local program=$! window=""
  # A step that cannot go on leaves no program behind.
  trap 'kill "$program" 2>/dev/null' EXIT
  find_window() { window=$(orvelan_visible_window '^Orvelan -- '); [ -n "$window" ]; }
  wait_for 120 find_window || fail "orvelan did not map its window"
  # The window gets the size the layout was taken at.
  local size
  size=$(at size)
  xdotool windowsize --sync "$window" ${size% *} ${size#* } 2>/dev/null || xdotool windowsize "$window" ${size% *} ${size#* }
  sized() { [ "$(xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p')" = "${size% *}x${size#* }" ]; }
  wait_for 30 sized || fail "the window did not take the size $size"
  sleep 0.5

  click() {
    local point
    point=$(at "$1")
    [ -n "$point" ] || fail "no place for $1 in the layout"
    xdotool mousemove --window "$window" ${point% *} ${point#* } click 1
    sleep 0.3
  }
  click plus
  click row3
  local from to
  from=$(at azimuth0) to=$(at azimuth90)
  xdotool mousemove --window "$window" ${from% *} ${from#* } mousedown 1 \
    mousemove --window "$window" $(((${from% *} + ${to% *}) / 2)) $(((${from#* } + ${to#* }) / 2)) \
    mousemove --window "$window" ${to% *} ${to#* } mouseup 1
  sleep 0.3
  click arm_output
  click record
  click start

  # Two seconds of three 24-bit beams on disk.
  recorded() {
    local take
    take=$(ls out_*.wav 2>/dev/null | head -n 1)
    [ -n "$take" ] && [ "$(stat -c %s "$take")" -ge $((2 * 44100 * 3 * 3)) ]
  }
  wait_for 120 recorded || fail "no beam take grew to two seconds: $(ls -l)"
  import -window "$window" "$ORVELAN_E2E_SHOT" || echo "FAIL: no screenshot"
  click stop

  "$ORVELAN_E2E_LAYOUT_TOOL" close "$window" || fail "the close request could not be sent"
  local question=""
  find_question() { question=$(orvelan_visible_window '^Orvelan$'); [ -n "$question" ]; }
  if wait_for 60 find_question; then
    local discard
    discard=$(at discard)
    sleep 0.3
    xdotool mousemove --window "$question" ${discard% *} ${discard#* } click 1
  else
    echo "FAIL: closing did not ask about the changed tracks"
  fi
  exited() { ! kill -0 "$program" 2>/dev/null; }
  if ! wait_for 60 exited; then
    kill "$program" 2>/dev/null
    fail "orvelan did not end after Discard"
  fi
  wait "$program" || echo "FAIL: orvelan exited $?"
}

if [ "${1:-}" = --session ]; then
  session "$2"
  exit $?
fi

source_dir="$1" build_dir="$2" layout_tool="$3"
source "$source_dir/scripts/xvfb.sh"

missing=$(orvelan_xvfb_missing_tools)
command -v soxi >/dev/null 2>&1 || missing="$missing soxi"
if [ -n "${missing// /}" ]; then
  echo "skipped: missing tools: $missing"
  exit 77
fi
if ! xvfb-run --auto-servernum true >/dev/null 2>&1; then
  echo "skipped: the virtual X server does not start here"
  exit 77
fi

output_dir="$build_dir/Testing/window_end_to_end"
mkdir -p "$output_dir"
rm -f "$output_dir/screenshot.png"
scratch="$(mktemp -d --tmpdir orvelan-window-e2e-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
work="$scratch/work"
mkdir -p "$work" "$scratch/layout" "$scratch/runtime"
chmod 700 "$scratch/runtime"

take="$work/demo_take.wav"
"$build_dir/io/demo/orvelan_make_demo_take" "$take" 12 >/dev/null || { echo "FAIL: no demo take"; exit 1; }
(cd "$work" && "$layout_tool" settings "$take") || { echo "FAIL: no settings file"; exit 1; }
cp "$work/orvelan.ini" "$scratch/layout/"

# The array's box driver, named by a paced virtual device: no device
# question, and the take plays in real time. No user catalog is read.
export XDG_CONFIG_HOME="$scratch" XDG_RUNTIME_DIR="$scratch/runtime"
export ORVELAN_AUDIO_DRIVERS="ASIO TCAT Dice EVM Platform={A40A4A6F-D0D4-490C-B24F-ECD70142AA05},inputs=32,outputs=24,clock=paced"
export ORVELAN_E2E_WORK="$work" ORVELAN_E2E_LAYOUT_DIR="$scratch/layout" ORVELAN_E2E_LAYOUT_TOOL="$layout_tool"
export ORVELAN_E2E_PROGRAM="$build_dir/ro32app/orvelan" ORVELAN_E2E_SHOT="$output_dir/screenshot.png"


xvfb-run --auto-servernum --server-args="-screen 0 1920x1200x24" \
  bash "${BASH_SOURCE[0]}" --session "$source_dir/scripts/xvfb.sh" >"$scratch/session.log" 2>&1
status=$?
cat "$scratch/session.log"
failures=$(grep -c '^FAIL' "$scratch/session.log")
[ "$status" -eq 0 ] || [ "$failures" -ne 0 ] || failures=1

mapfile -t outs < <(cd "$work" && ls out_*.wav 2>/dev/null)
if [ "${#outs[@]}" -ne 1 ]; then
  echo "FAIL: beam takes: ${outs[*]:-none}"
  failures=$((failures + 1))
else
  out="$work/${outs[0]}"
  echo "beam take ${outs[0]}: $(soxi -c "$out") channels, $(soxi -r "$out") Hz, $(soxi -b "$out") bits, $(soxi -s "$out") frames"
  [[ "${outs[0]}" =~ ^out_[0-9]{6}_[0-9]{6}\.wav$ ]] || { echo "FAIL: take name ${outs[0]}"; failures=$((failures + 1)); }
  [ "$(soxi -c "$out")" = 3 ] || { echo "FAIL: not 3 channels"; failures=$((failures + 1)); }
  [ "$(soxi -r "$out")" = 44100 ] || { echo "FAIL: not 44100 Hz"; failures=$((failures + 1)); }
  [ "$(soxi -b "$out")" = 24 ] || { echo "FAIL: not 24-bit"; failures=$((failures + 1)); }
  [ "$(soxi -s "$out")" -ge 88200 ] || { echo "FAIL: less than the two seconds seen on disk"; failures=$((failures + 1)); }
fi
if compgen -G "$work/mic_*" >/dev/null; then
  echo "FAIL: a capsule take was left in file mode"
  failures=$((failures + 1))
fi
grep -qx 'inputMode=1' "$work/orvelan.ini" || { echo "FAIL: orvelan.ini lost file input"; failures=$((failures + 1)); }
grep -qx "sensorFile=\"\\?$take\"\\?" "$work/orvelan.ini" ||
  { echo "FAIL: orvelan.ini lost the take: $(grep sensorFile "$work/orvelan.ini")"; failures=$((failures + 1)); }
if [ -f "$output_dir/screenshot.png" ]; then
  echo "screenshot: $output_dir/screenshot.png ($(identify -format '%wx%h' "$output_dir/screenshot.png"))"
else
  echo "FAIL: no screenshot"
  failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all passed"
