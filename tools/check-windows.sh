#!/usr/bin/env bash
# Runs the Windows build's tests under Wine: a throw-away 32-bit Wine prefix,
# quiet, inside a network namespace of its own, on a virtual display; CTest
# starts each test program through Wine (the toolchain's emulator), and the
# host player's black-box checks (tests/windows/wine_player.py).
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
# Windows (the host's main window, dialogs) need a display: a virtual one
# when none is given.
display=()
if [ -z "${DISPLAY:-}" ]; then
  display=(xvfb-run -a)
fi
"${display[@]}" tools/netns.sh sh -c 'wineboot -i >/dev/null 2>&1; ctest --test-dir "$0" --output-on-failure "$@"' \
  "$build" "$@"
