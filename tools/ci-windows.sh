#!/usr/bin/env bash
# The Windows form from a bare Debian machine, for continuous integration:
# installs the cross compiler, Wine (32-bit) and a virtual display, then
# cross-builds (tools/build-windows.sh, warnings as errors) and runs the
# Windows tests under Wine (tools/check-windows.sh, on that display). Needs
# root for the installs; prints how long each step took.
#
# Wine comes without its recommended packages: with them apt once took away
# packages the Linux build needs. The script refuses any install that would
# remove a package.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev cmake ninja-build dpkg-dev googletest
  ffmpeg python3 zip wine wine32:i386 xvfb xauth)

step() {
  local name=$1 start
  shift
  start=$(date +%s)
  "$@"
  echo "ci-windows: $name took $(($(date +%s) - start)) s"
}

install() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "ci-windows: run as root (missing: ${missing[*]})" >&2
    exit 1
  fi
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -q
  export DEBIAN_FRONTEND=noninteractive
  local removed
  removed=$(apt-get install -s -q --no-install-recommends "${missing[@]}" | sed -n 's/^Remv \([^ ]*\).*/\1/p')
  if [ -n "$removed" ]; then
    echo "ci-windows: installing ${missing[*]} would remove: $removed" >&2
    exit 1
  fi
  apt-get install -y -q --no-install-recommends "${missing[@]}"
}

step "installing" install
step "the build" env TUNELET_WERROR=1 tools/build-windows.sh
step "the tests under Wine" tools/check-windows.sh
