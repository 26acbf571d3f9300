#!/usr/bin/env bash
# Shared by the scripts: repository root, job count, configure-and-build.
set -euo pipefail

ORVELAN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ORVELAN_JOBS="${ORVELAN_JOBS:-$(nproc)}"

# The compiler launcher argument when ccache is installed, so rebuilds after
# a fresh clone or a branch switch are mostly cache hits.
orvelan_ccache_args() {
  if command -v ccache >/dev/null 2>&1; then
    echo "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
  fi
}

# orvelan_build BUILD_DIR [extra cmake arguments...]
orvelan_build() {
  local dir="$1"
  shift
  # shellcheck disable=SC2046
  cmake -S "$ORVELAN_ROOT" -B "$dir" -G Ninja $(orvelan_ccache_args) "$@" >/dev/null
  cmake --build "$dir" -j "$ORVELAN_JOBS"
}

# orvelan_build_targets BUILD_DIR TARGET...
# Builds only the named targets; a build directory not configured yet is
# configured as a Release build. ORVELAN_NO_BUILD=1 skips the build (the
# tests of the scripts run against what ctest's own build made).
orvelan_build_targets() {
  local dir="$1"
  shift
  if [ "${ORVELAN_NO_BUILD:-0}" = 1 ]; then
    return 0
  fi
  if [ ! -f "$dir/build.ninja" ]; then
    # shellcheck disable=SC2046
    cmake -S "$ORVELAN_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release $(orvelan_ccache_args) >/dev/null
  fi
  cmake --build "$dir" -j "$ORVELAN_JOBS" --target "$@" >/dev/null
}
