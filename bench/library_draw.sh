#!/bin/sh
# The library box with a 10,000-file folder in Chromium (bench/library_draw.js):
# today's client beside the client of an older commit, both served by
# src/webclient/tools/serve.py with the same canned 10,000-entry answers.
#   bench/library_draw.sh [REF] [RUNS]
# REF is the older client's commit (default 6e4bcfc, the last one that drew
# every row of a listing and asked the server to sort it); 5 runs by default.
# Needs playwright-core in build/browser-deps (see README), /usr/bin/chromium
# and node. Runs itself inside a private network namespace; only 127.0.0.1.
set -eu
cd "$(dirname "$0")/.."
if [ "${TUNELET_NETNS:-}" != 1 ]; then exec tools/netns.sh "$0" "$@"; fi
ref="${1:-6e4bcfc}" runs="${2:-5}"
deps="$(pwd)/build/browser-deps/node_modules"
[ -f "$deps/playwright-core/package.json" ] || { echo "playwright-core is missing in $deps" >&2; exit 1; }

stage=$(mktemp -d "${TMPDIR:-/tmp}/tunelet-libdraw.XXXXXX")
servers=""
cleanup() {
  [ -z "$servers" ] || kill $servers 2>/dev/null || true
  rm -rf "$stage"
}
trap cleanup EXIT INT TERM

git archive "$ref" src/webclient | tar -x -C "$stage"
serve() {
  python3 src/webclient/tools/serve.py --fake --entries 10000 --port "$1" --root "$2" </dev/null >/dev/null 2>&1 &
  servers="$servers $!"
  i=0
  until python3 -c "import socket; socket.create_connection(('127.0.0.1', $1), 1)" 2>/dev/null; do
    i=$((i + 1)); [ "$i" -lt 50 ] || { echo "serve.py did not start on $1" >&2; exit 1; }; sleep 0.1
  done
}
serve 18096 src/webclient
serve 18097 "$stage/src/webclient"
TMPDIR="$stage" NODE_PATH="$deps" node bench/library_draw.js http://127.0.0.1:18096 http://127.0.0.1:18097 "$runs"
