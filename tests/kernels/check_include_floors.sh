#!/usr/bin/env bash
# Fails when kernel code below start-up includes a start-up header: the
# shared headers (internal/) and the families (vector/, fft/, filters/) must
# not reach up into core/, which is built on them.
set -euo pipefail
kernels="$1"
folders=()
for folder in internal vector fft filters; do
  [ -d "$kernels/$folder" ] && folders+=("$kernels/$folder")
done
if [ "${#folders[@]}" -eq 0 ]; then
  echo "no kernel folders under $kernels"
  exit 1
fi
if grep -rnE '^\s*#\s*include\s*"(\.\./)*core/' "${folders[@]}"; then
  echo "the includes above reach from kernel code up into core/"
  exit 1
fi
echo "no include from ${folders[*]#$kernels/} into core/"
