#!/bin/sh
# The installed player holding many clients at once. First IDLE keep-alive
# connections, each served one "getvolume" and then idle, spread over many
# loopback addresses (one address holds only a few): the player's memory per
# connection, its threads, and a new client's first answer time beside them.
# Then "getvolume" under load (wrk, keep-alive, 16 connections from
# 127.0.0.1) without and beside SLOW readers of one large download from
# 127.0.0.2, each reading one byte every 10 s: requests per second, the 99th
# percentile and any answer that was not 200, and what the readers got.
#   bench/player_held_clients.sh BUILD_DIR [IDLE] [SLOW] [DURATION]   (defaults: 10000 300 5s)
# Runs itself inside a private network namespace; only 127.0.0.0/8 is used.
set -eu
cd "$(dirname "$0")/.."
if [ "${TUNELET_NETNS:-}" != 1 ]; then exec tools/netns.sh "$0" "$@"; fi
build="$1" idle="${2:-10000}" slow="${3:-300}" duration="${4:-5s}"
command -v wrk >/dev/null || { echo "wrk is missing (Debian package wrk)" >&2; exit 1; }
. bench/reference_nginx.sh
. bench/installed_player.sh

bench_begin

port=18092
mkdir -p "$work/music"
truncate -s 256M "$work/music/large.mp3"
cmake --install "$build" --prefix "$work/dist" >/dev/null
printf '[Tunelet Remote Control Plugin v1.0]\nlistenIP=127.0.0.1\nlistenPort=%s\nShared Dirs=%s/music;\n' \
  "$port" "$work" >"$work/dist/Plugins/gen_Tunelet.ini"
player_start "$work/dist" "$port" getvolume taskset -c 0 || exit 1
server_pid=$player_pid
cookie=$(curl -si "http://127.0.0.1:$port/getvolume" | tr -d '\r' |
  sed -n 's/^Set-Cookie: \(Tunelet=[^;]*\).*/\1/p')
[ -n "$cookie" ] || { echo "no session cookie" >&2; exit 1; }

load="taskset -c 1 wrk -t1 -c16 -d$duration --latency -H 'Cookie: $cookie' http://127.0.0.1:$port/getvolume |
  awk '/Requests\/sec|^ +99%|Non-2xx|Socket errors/ { print \"  \" \$0 }'"

echo "== $idle idle keep-alive connections"
python3 bench/held_clients.py idle "$port" "$idle" "$cookie" "$server_pid"
echo "== getvolume, wrk -c16 for $duration, alone"
sh -c "$load"
echo "== getvolume, wrk -c16 for $duration, beside $slow slow readers"
python3 bench/held_clients.py slow "$port" "$slow" "$cookie" "$server_pid" \
  "/download?path=$work/music/large.mp3" sh -c "$load"
