#!/bin/sh
# The library box's album grid of 5,000 albums in Chromium, beside its
# Folders view of a 5,000-file folder (bench/album_grid.js), served by
# src/webclient/tools/serve.py with canned answers (every cover the same
# small image; the grid's answer made before the clocks start). The target
# for the grid: its first screen in under 300 ms.
#   bench/album_grid.sh [RUNS]     (5 runs by default)
# Needs playwright-core in build/browser-deps (see README), /usr/bin/chromium
# and node. Runs itself inside a private network namespace; only 127.0.0.1.
set -eu
cd "$(dirname "$0")/.."
if [ "${TUNELET_NETNS:-}" != 1 ]; then exec tools/netns.sh "$0" "$@"; fi
runs="${1:-5}"
deps="$(pwd)/build/browser-deps/node_modules"
[ -f "$deps/playwright-core/package.json" ] || { echo "playwright-core is missing in $deps" >&2; exit 1; }

stage=$(mktemp -d "${TMPDIR:-/tmp}/tunelet-grid.XXXXXX")
server=""
cleanup() {
  [ -z "$server" ] || kill $server 2>/dev/null || true
  rm -rf "$stage"
}
trap cleanup EXIT INT TERM

port=18098
python3 src/webclient/tools/serve.py --fake --entries 5000 --albums 5000 --port "$port" </dev/null >/dev/null 2>&1 &
server=$!
i=0
until python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null; do
  i=$((i + 1)); [ "$i" -lt 50 ] || { echo "serve.py did not start on $port" >&2; exit 1; }; sleep 0.1
done
# The grid's answers (at once, or first screen and rest) are made before the clocks: the page times the client.
for page in count=5000 count=120 'start=120&count=4880'; do
  python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/albums.js?$page&callback=f').read()"
done
TMPDIR="$stage" NODE_PATH="$deps" node bench/album_grid.js "http://127.0.0.1:$port" "$runs"
