#!/usr/bin/env bash
# Runs orvelan's window under a virtual X server, so the window can be seen
# (as a screenshot) on a machine without a desktop. Sourced by
# scripts/screenshot and scripts/run; needs xvfb-run, xauth, xdotool and
# ImageMagick's import and convert (ORVELAN_XVFB_PACKAGES).

ORVELAN_XVFB_PACKAGES=(xvfb xauth xdotool imagemagick)

# The tools the virtual session uses; prints those that are missing.
orvelan_xvfb_missing_tools() {
  local tool
  for tool in xvfb-run xauth xdotool import convert; do
    command -v "$tool" >/dev/null 2>&1 || echo "$tool"
  done
}

# orvelan_window_shot OUTPUT.png SECONDS WORKDIR PROGRAM [ARGUMENTS...]
# Starts PROGRAM in WORKDIR under a virtual X server, takes the audio-device
# question's preselected entry, waits until a window whose name begins with
# "Orvelan" is mapped (20 s at most), presses the transport's Start button
# when ORVELAN_PRESS_START=1, lets the program run SECONDS, saves the window
# as OUTPUT and ends the program. Fails when the window never maps or the
# screenshot cannot be saved.
orvelan_window_shot() {
  local output="$1" seconds="$2" workdir="$3"
  shift 3
  local runtime status=0
  # Qt wants a private runtime folder; the session gets a fresh one.
  runtime="$(mktemp -d --tmpdir orvelan-runtime-XXXXXX)"
  chmod 700 "$runtime"
  (cd "$workdir" && XDG_RUNTIME_DIR="$runtime" \
    xvfb-run --auto-servernum --server-args="-screen 0 1280x900x24" \
    bash -c 'set -uo pipefail; source "$1"; shift; orvelan_window_session "$@"' \
    _ "${BASH_SOURCE[0]}" "$output" "$seconds" "$@") || status=$?
  rm -rf "$runtime"
  return "$status"
}

# The first visible top-level window whose name matches the pattern.
orvelan_visible_window() {
  xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1
}

# The centre "X Y" of the pixels near one colour within a band of rows of
# the image (FIRST_ROW, ROWS), or nothing when none has it or they are
# spread wider than a button.
orvelan_colour_centre() {
  local image="$1" colour="$2" first_row="$3" rows="$4" box
  box=$(convert "$image" -alpha off -crop "100000x${rows}+0+${first_row}" +repage -fuzz 6% \
    -fill black +opaque "$colour" -fill white -opaque "$colour" -format '%@' info: 2>/dev/null) || return 0
  [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 0
  local w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]} x=${BASH_REMATCH[3]} y=${BASH_REMATCH[4]}
  if [ "$w" -eq 0 ] || [ "$w" -gt 60 ] || [ "$h" -gt 60 ]; then
    return 0
  fi
  echo "$((x + w / 2)) $((first_row + y + h / 2))"
}

# Presses the transport's Start button of the window. The transport's
# buttons sit in a row, stop, pause, start, record, equally spaced; while
# stopped the stop button is lit blue and record shows its dark red, so
# Start is two thirds of the way from the one to the other. Says so and
# leaves the program as it is when the row cannot be found.
orvelan_press_start() {
  local window="$1" grab stop="" record="" height
  grab="$(mktemp --tmpdir orvelan-transport-XXXXXX.png)"
  if import -window "$window" "$grab" 2>/dev/null; then
    height=$(identify -format '%h' "$grab")
    # The lit centre of the stop glyph, then the record glyph on its row.
    stop=$(orvelan_colour_centre "$grab" "rgb(130,201,255)" 0 "$height")
    if [ -n "$stop" ]; then
      record=$(orvelan_colour_centre "$grab" "rgb(157,73,73)" $(("${stop#* }" - 12)) 24)
    fi
  fi
  rm -f "$grab"
  if [ -n "$stop" ] && [ -n "$record" ]; then
    local sx sy rx ry
    read -r sx sy <<<"$stop"
    read -r rx ry <<<"$record"
    if [ "$rx" -gt "$sx" ]; then
      xdotool mousemove --window "$window" $((sx + (rx - sx) * 2 / 3)) "$sy" click 1
      echo "Pressed Start on the transport."
      return 0
    fi
  fi
  echo "The transport's Start button was not found; the take is loaded but not playing." >&2
}

# Inside the virtual server (see orvelan_window_shot).
orvelan_window_session() {
  local output="$1" seconds="$2"
  shift 2
  "$@" &
  local program=$! window="" dialog="" answered=0
  for _ in $(seq 200); do
    # The window asks which device to use when the interface box's driver
    # is not there; the entry it offers first is taken.
    if [ "$answered" = 0 ]; then
      dialog=$(orvelan_visible_window '^Audio Device$')
      if [ -n "$dialog" ]; then
        xdotool windowfocus --sync "$dialog" key Return
        answered=1
        echo "Took the first device the window offered."
      fi
    fi
    window=$(orvelan_visible_window '^Orvelan')
    [ -n "$window" ] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  local status=0
  if [ -n "$window" ]; then
    sleep 1
    if [ "${ORVELAN_PRESS_START:-0}" = 1 ]; then
      orvelan_press_start "$window"
    fi
    sleep "$seconds"
    import -window "$window" "$output" || status=$?
  else
    echo "orvelan did not map its window; windows shown:" >&2
    local shown
    for shown in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
      echo "  $(xdotool getwindowname "$shown" 2>/dev/null)" >&2
    done
    status=1
  fi
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  return "$status"
}
