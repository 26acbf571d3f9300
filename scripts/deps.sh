#!/usr/bin/env bash
# Installs the Debian packages the build, tests and benchmarks need, only
# when some are missing. Sourced by scripts/run and scripts/test.
# ORVELAN_NO_INSTALL=1 installs nothing (the tests of the scripts set it):
# what is missing is only named.
set -euo pipefail

# One package a line.
ORVELAN_PACKAGES=(
  g++
  cmake
  ninja-build
  binutils
  gawk
  googletest
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libasound2-dev
  jackd2
  libjack-jackd2-dev
  pkg-config
  libsndfile1-dev
  sox
  libfftw3-dev
  libkissfft-dev
  qt6-base-dev
  fonts-dejavu-core
  clang
  libclang-rt-14-dev
)

orvelan_install_deps() {
  local missing=()
  local pkg
  for pkg in "${ORVELAN_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  if [ "${ORVELAN_NO_INSTALL:-0}" = 1 ]; then
    echo "Not installing (ORVELAN_NO_INSTALL=1), missing: ${missing[*]}" >&2
    return 0
  fi
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

orvelan_install_deps
