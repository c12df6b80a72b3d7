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
#   tools/ci-windows.sh build     the build and the tests (installed before)
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
  all | install | build) ;;
  *) echo "usage: tools/ci-windows.sh [install|build]" >&2; exit 2 ;;
esac
if [ "$mode" != build ]; then
  step "installing" install
  step "the source entries" tools/build-windows.sh sources
fi
[ "$mode" = install ] && exit 0
step "the build" env TUNELET_WERROR=1 tools/build-windows.sh
step "the tests under Wine" tools/check-windows.sh
