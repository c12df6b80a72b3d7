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
#
#   tools/ci-windows.sh           all three steps
#   tools/ci-windows.sh install   only the installs (while nothing else holds
#                                 the package manager)
#   tools/ci-windows.sh build     only the build (installed before)
#   tools/ci-windows.sh check     only the tests (built before); the Linux build
#                                 in build/default must be built by then, for
#                                 the check that a Linux and a Windows instance
#                                 play each other's music
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
  tools/deps.sh "${packages[@]}"
}

mode=${1:-all}
case "$mode" in
  all | install | build | check) ;;
  *) echo "usage: tools/ci-windows.sh [install|build|check]" >&2; exit 2 ;;
esac
if [ "$mode" = all ] || [ "$mode" = install ]; then
  step "installing" install
  step "the source entries" tools/build-windows.sh sources
fi
[ "$mode" = install ] && exit 0
[ "$mode" = check ] || step "the build" env TUNELET_WERROR=1 tools/build-windows.sh
[ "$mode" = build ] && exit 0
# The mixed-network check is defined only when the Linux build was there at
# configure time: configure again, and insist on it.
cmake build/windows >/dev/null
listed=$(ctest --test-dir build/windows -N -R '^windows_wine_peers$')
if [ "$mode" = check ] && [[ "$listed" != *windows_wine_peers* ]]; then
  echo "ci-windows: no Linux build in build/default, so no Linux-and-Windows check" >&2
  exit 1
fi
step "the tests under Wine" tools/check-windows.sh
