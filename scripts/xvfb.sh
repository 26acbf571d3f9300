#!/usr/bin/env bash
# Runs orvelan's window under a virtual X server, so the window can be seen
# (as a screenshot) on a machine without a desktop. Sourced by
# scripts/screenshot and scripts/run; needs xvfb-run, xauth, xdotool and
# ImageMagick's import and convert (ORVELAN_XVFB_PACKAGES).

ORVELAN_XVFB_PACKAGES=(xvfb xauth xdotool imagemagick)

# Installs the virtual session's packages when some are missing (deps.sh,
# sourced first, does the installing).
orvelan_install_xvfb_deps() {
  ORVELAN_PACKAGES=("${ORVELAN_XVFB_PACKAGES[@]}")
  orvelan_install_deps
}

# The tools the virtual session uses; prints those that are missing, on
# one line.
orvelan_xvfb_missing_tools() {
  local tool absent=()
  for tool in xvfb-run xauth xdotool import convert identify; do
    command -v "$tool" >/dev/null 2>&1 || absent+=("$tool")
  done
  echo "${absent[*]}"
}

# orvelan_window_shot OUTPUT.png SECONDS WORKDIR PROGRAM [ARGUMENTS...]
# Starts PROGRAM in WORKDIR under a virtual X server, takes the audio-device
# question's preselected entry, waits until the main window ("Orvelan --
# ...") is mapped (20 s at most), presses the transport's Start button
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
    xvfb-run --auto-servernum --server-args="-screen 0 1920x1200x24" \
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

# The centres of the unlit glyphs on one row of the image, left to right,
# from column FIRST on: runs of the glyphs' grey, a run less than 16 pixels
# from the one before counting as the same glyph (pause's two bars).
orvelan_unlit_glyphs() {
  local image="$1" row="$2" first="$3"
  convert "$image" -alpha off -crop "100000x1+0+${row}" +repage -depth 8 txt:- 2>/dev/null | awk -F'[,:() ]+' -v first="$first" '
    function near(v, c) { return v > c - 24 && v < c + 24 }
    NR > 1 && $1 >= first && near($3, 180) && near($4, 184) && near($5, 192) && $5 > $3 {
      if (start == "" || $1 - last > 16) { if (start != "") print int((start + last) / 2); start = $1 }
      last = $1
    }
    END { if (start != "") print int((start + last) / 2) }'
}

# Presses the transport's Start button of the window. While stopped the
# stop button is lit blue; right of it on the same row come the unlit pause
# and start glyphs. Checks that Start lit up, and says so either way.
orvelan_press_start() {
  local window="$1" grab stop="" start_x=""
  grab="$(mktemp --tmpdir orvelan-transport-XXXXXX.png)"
  if import -window "$window" "$grab" 2>/dev/null; then
    stop=$(orvelan_colour_centre "$grab" "rgb(130,201,255)" 0 "$(identify -format '%h' "$grab")")
  fi
  if [ -n "$stop" ]; then
    start_x=$(orvelan_unlit_glyphs "$grab" "${stop#* }" $(("${stop% *}" + 24)) | sed -n 2p)
  fi
  if [ -n "$start_x" ]; then
    xdotool mousemove --window "$window" "$start_x" "${stop#* }" click 1 mousemove --window "$window" 0 0
    sleep 0.5
    import -window "$window" "$grab" 2>/dev/null || true
    # The lit play glyph's green where the grey was.
    if [ -n "$(orvelan_colour_centre "$grab" "rgb(56,232,88)" $(("${stop#* }" - 12)) 24)" ]; then
      rm -f "$grab"
      echo "Pressed Start on the transport."
      return 0
    fi
  fi
  rm -f "$grab"
  echo "The transport's Start button was not found or did not light; the take is loaded but not playing." >&2
}

# Inside the virtual server (see orvelan_window_shot).
orvelan_window_session() {
  local output="$1" seconds="$2"
  shift 2
  "$@" &
  local program=$! window="" dialog="" answered=0
  # Up to a minute: a sanitizer build on a busy machine takes a while to
  # open the window.
  for _ in $(seq 600); do
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
    # The title goes on with the rate and the calibration state; a message
    # box is titled "Orvelan" alone.
    window=$(orvelan_visible_window '^Orvelan -- ')
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
