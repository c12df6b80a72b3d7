#!/bin/sh
# Installs the build into a fresh folder and runs web_front_door.js against
# the installed player. Registered with CTest (tests/e2e/CMakeLists.txt):
#   web_front_door.sh CMAKE BUILD_DIR BROWSER_DEPS_DIR OUT_DIR [SCRIPT]
# SCRIPT is the test program beside this file (web_front_door.js by default).
# Exits 77 (skipped) when Chromium, Node.js or playwright-core is missing,
# unless TUNELET_REQUIRE_BROWSER=1 (./test.sh installs them and sets it).
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
cmake="$1" build="$2" deps="$3" out="$4" script="${5:-web_front_door.js}"

missing() {
  if [ "${TUNELET_REQUIRE_BROWSER:-}" = 1 ]; then
    echo "missing: $1" >&2
    exit 1
  fi
  echo "skipped: $1 is missing (./test.sh installs it)"
  exit 77
}
[ -x /usr/bin/chromium ] || missing "/usr/bin/chromium (Debian package chromium)"
command -v node >/dev/null 2>&1 || missing "node (Debian package nodejs)"
command -v curl >/dev/null 2>&1 || missing "curl"
command -v ffmpeg >/dev/null 2>&1 || missing "ffmpeg"
[ -f "$deps/node_modules/playwright-core/package.json" ] || missing "playwright-core in $deps"
if [ "${TUNELET_NETNS:-}" != 1 ]; then
  echo "run me inside tools/netns.sh" >&2
  exit 2
fi

# Everything the run leaves, the browser's profile folder too (TMPDIR), goes
# with the staging folder.
stage="$(mktemp -d "${TMPDIR:-/tmp}/tunelet-e2e.XXXXXX")"
# A player the browser program started may still be saving its state when
# the program ends: it is ended and waited for (10 s at most, then killed)
# before its folder goes.
cleanup() {
  pids="$(pgrep -f "$stage/dist/tunelet-player" || true)"
  if [ -n "$pids" ]; then
    kill $pids 2>/dev/null || true
    tries=0
    while [ "$tries" -lt 100 ] && pgrep -f "$stage/dist/tunelet-player" >/dev/null; do
      sleep 0.1
      tries=$((tries + 1))
    done
    kill -9 $pids 2>/dev/null || true
  fi
  rm -rf "$stage"
}
trap cleanup EXIT
if ! "$cmake" --install "$build" --prefix "$stage/dist" >"$stage/install.log" 2>&1; then
  cat "$stage/install.log" >&2
  exit 1
fi
mkdir -p "$out"
status=0
# The player headless (and the browser too), whatever desktop runs the tests.
# The X display, when there is one, stays known to the programs that want it
# (TUNELET_X_DISPLAY).
TUNELET_X_DISPLAY="${DISPLAY:-}" TMPDIR="$stage" NODE_PATH="$deps/node_modules" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  node "$here/$script" "$stage/dist" "$out" || status=$?
exit "$status"
