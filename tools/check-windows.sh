#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: a throw-away 32-bit Wine prefix,
# quiet, inside a network namespace of its own; CTest starts each test
# program through Wine (the toolchain's emulator).
#   tools/check-windows.sh [BUILD_DIR] [CTEST_ARGS...]    (default build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
shift || true
prefix=$(mktemp -d)
export WINEPREFIX=$prefix/wine WINEARCH=win32 WINEDEBUG=-all
# The prefix's server ends with the last program of the prefix; it is made
# to end before the folder goes.
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix"' EXIT
tools/netns.sh sh -c 'wineboot -i >/dev/null 2>&1; ctest --test-dir "$0" --output-on-failure "$@"' "$build" "$@"
