#!/bin/sh
# Runs check_pages.js against the client's files served by serve.py, once
# with the dynamic routes unwired (404) and once with canned answers.
# Run it in a network namespace of its own:
#   tools/netns.sh tests/webclient/browser/run.sh [OUT_DIR]
# Needs /usr/bin/chromium (Debian package chromium) and playwright-core,
# which this script installs with npm under build/browser-deps (ignored by git).
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
top="$(cd "$here/../../.." && pwd)"
out="${1:-$top/build/browser-shots}"
deps="$top/build/browser-deps"
mkdir -p "$out" "$deps"
if [ ! -d "$deps/node_modules/playwright-core" ]; then
  (cd "$deps" && npm install --no-audit --no-fund --silent playwright-core >/dev/null)
fi
if [ "${TUNELET_NETNS:-}" != 1 ]; then
  echo "run me inside tools/netns.sh" >&2
  exit 2
fi

status=0
port=8180
for mode in bare fake; do
  flag=""
  [ "$mode" = fake ] && flag="--fake"
  python3 "$top/src/webclient/tools/serve.py" --port "$port" $flag &
  server=$!
  i=0
  until python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null; do
    i=$((i + 1)); [ "$i" -lt 50 ] || break; sleep 0.1
  done
  echo "pages, $mode routes:"
  NODE_PATH="$deps/node_modules" node "$here/check_pages.js" "http://127.0.0.1:$port" "$out" $flag || status=1
  kill "$server"
  wait "$server" 2>/dev/null || true
  port=$((port + 1))
done
exit "$status"
