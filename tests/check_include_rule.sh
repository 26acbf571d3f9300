#!/usr/bin/env bash
# The include rule above the kernels: each subsystem's root (and each test
# subsystem's root) is on the include path, and a quoted include names its
# folder from that root ("framework/audio_buffer.h", "wavefile/buffer_ring.h",
# "support/wave_fixtures.h"). Fails on an include that names no folder, on
# one that no root holds, and on one that two roots hold, since then the
# include path's order would decide which file it means.
# The kernels keep their own rule (kernels/README.md); their public header
# "dsp.h", and their internal headers in a test that links the internals,
# are the includes without a folder.
set -euo pipefail
top="$1"
roots=(engine io platform boxcontrol ro32app kernels/include
       tests/engine tests/io tests/platform tests/boxcontrol tests/ro32app bench)
folders=()
for root in engine io platform boxcontrol ro32app tests/engine tests/io tests/platform tests/boxcontrol \
            tests/ro32app bench/engine bench/io bench/platform bench/support; do
  [ -d "$top/$root" ] && folders+=("$top/$root")
done

failures=0
while IFS= read -r line; do
  file=${line%%:*}
  name=$(sed -E 's/^[^"]*"([^"]*)".*/\1/' <<<"${line#*:}")
  case "$name" in
    dsp.h|*.moc|moc_*.cpp) continue ;;
  esac
  # A kernel header named bare follows the kernels' own rule (a test that
  # links their internals, e.g. to make the aligned allocator fail).
  if [[ "$name" != */* && -f "$top/kernels/internal/$name" ]]; then
    continue
  fi
  if [[ "$name" != */* ]]; then
    echo "${file#$top/}: \"$name\" names no folder"
    failures=$((failures + 1))
    continue
  fi
  holders=()
  for root in "${roots[@]}"; do
    [ -f "$top/$root/$name" ] && holders+=("$root")
  done
  if [ "${#holders[@]}" -eq 0 ]; then
    echo "${file#$top/}: \"$name\" is under no subsystem root"
    failures=$((failures + 1))
  elif [ "${#holders[@]}" -gt 1 ]; then
    echo "${file#$top/}: \"$name\" is under ${holders[*]}"
    failures=$((failures + 1))
  fi
done < <(grep -rHE '^\s*#\s*include\s*"' --include='*.h' --include='*.cpp' "${folders[@]}")

if [ "$failures" -ne 0 ]; then
  echo "$failures includes break the include rule"
  exit 1
fi
echo "every include names its folder from one subsystem root"
