#!/usr/bin/env bash
# Shared by the scripts: repository root, job count, configure-and-build.
set -euo pipefail

ORVELAN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ORVELAN_JOBS="${ORVELAN_JOBS:-$(nproc)}"

# orvelan_build BUILD_DIR [extra cmake arguments...]
orvelan_build() {
  local dir="$1"
  shift
  cmake -S "$ORVELAN_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$ORVELAN_JOBS"
}
