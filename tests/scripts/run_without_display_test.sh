#!/usr/bin/env bash
# scripts/run without a display, twice, in a fresh data folder whose path
# holds a space and a comma (a settings value the ini format would split):
# the first run writes the demo take and a settings file that the window
# reads as the defaults with file input of the take, shows the window and
# leaves a screenshot; the second keeps the take and a settings file the
# user changed. A program that never maps its window makes the run fail.
#
#   run_without_display_test.sh SOURCE_DIR BUILD_DIR SETTINGS_CHECK
set -uo pipefail
source_dir="$1" build_dir="$2" settings_check="$3"
source "$source_dir/scripts/xvfb.sh"

missing=$(orvelan_xvfb_missing_tools)
if [ -n "$missing" ]; then
  echo "skipped: no virtual X server tools: $missing"
  exit 77
fi

scratch="$(mktemp -d --tmpdir orvelan-run-test-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# run DATA_HOME BUILD_DIR: scripts/run as ctest may run it, output in $scratch/out.
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME="$1" ORVELAN_BUILD_DIR="$2" \
    ORVELAN_NO_INSTALL=1 ORVELAN_NO_BUILD=1 ORVELAN_RUN_SECONDS=1 \
    "$source_dir/scripts/run" >"$scratch/out" 2>&1
}

data_home="$scratch/data home, first"
data="$data_home/orvelan"
take="$data/demo_take.wav"
settings="$data/orvelan.ini"

echo "== first run"
run "$data_home" "$build_dir" || fail "first run exited $?: $(cat "$scratch/out")"
cat "$scratch/out"
shot=$(sed -n 's/^Screenshot: //p' "$scratch/out")
if [ "$shot" != "$data/screenshot.png" ]; then
  fail "screenshot path printed: '$shot'"
elif ! size=$(identify -format '%wx%h' "$shot" 2>/dev/null); then
  fail "no readable screenshot at $shot"
else
  echo "screenshot $size"
fi
[ -s "$take" ] || fail "no demo take at $take"
if [ -f "$settings" ]; then
  "$settings_check" "$settings" "$take" || fail "the first settings file is not the defaults with file input of the take"
else
  fail "no settings file at $settings"
fi

echo "== second run, with a changed settings file"
sed -i 's/^preampVolume=.*/preampVolume=31/' "$settings"
take_before=$(stat -c '%i %Y %s' "$take")
run "$data_home" "$build_dir" || fail "second run exited $?: $(cat "$scratch/out")"
grep -q '^preampVolume=31$' "$settings" || fail "the changed settings file was replaced"
[ "$(stat -c '%i %Y %s' "$take")" = "$take_before" ] || fail "the demo take was written again"
grep -q 'Wrote the first settings file\|Writing the demo take' "$scratch/out" && fail "second run wrote files again"

echo "== a program that never maps its window"
fake="$scratch/fake build"
mkdir -p "$fake/ro32app" "$fake/io/demo"
printf '#!/bin/sh\nexit 3\n' >"$fake/ro32app/orvelan"
printf '#!/bin/sh\n: >"$1"\n' >"$fake/io/demo/orvelan_make_demo_take"
chmod +x "$fake/ro32app/orvelan" "$fake/io/demo/orvelan_make_demo_take"
if run "$scratch/data home, fake" "$fake"; then
  fail "scripts/run exited 0 though the window never mapped"
fi
grep -q 'did not map its window' "$scratch/out" || fail "no word of the unmapped window: $(cat "$scratch/out")"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all passed"
