#!/bin/sh
# Loopback load on the listener with a trivial handler, next to nginx serving
# "return 200" on the same machine in the same run: wrk with keep-alive at 1,
# 16 and 64 connections, requests per second and 99th-percentile latency.
#   bench/load.sh [BUILD_DIR] [DURATION]     (defaults: build/srv 5s)
# Runs itself inside a private network namespace; only 127.0.0.1 is used.
set -e
cd "$(dirname "$0")/.."
if [ "${TUNELET_NETNS:-}" != 1 ]; then exec tools/netns.sh "$0" "$@"; fi
build=${1:-build/srv}
duration=${2:-5s}
echo_server="$build/bench/bench_server_echo"
[ -x "$echo_server" ] || { echo "build $echo_server first" >&2; exit 1; }
command -v wrk >/dev/null || { echo "wrk is missing (Debian package wrk)" >&2; exit 1; }
. bench/reference_nginx.sh
. bench/wrk.sh

ours_port=18080
nginx_port=18081
bench_begin

nginx_start "$work" "$nginx_port" auto 'location / { default_type text/plain; return 200 "ok"; }'

"$echo_server" "$ours_port" > "$work/echo.out" &
server_pid=$!
bench_port "$work/echo.out" bench_server_echo >/dev/null

run() {  # name port connections
  threads=2; [ "$3" -lt 2 ] && threads=1
  wrk_measure wrk -t"$threads" -c"$3" -d"$duration" --latency "http://127.0.0.1:$2/"
  printf '%-8s %11s %12s %14s  %s\n' "$1" "$3" "$rps" "$p99" "$errors"
}

echo "wrk, keep-alive, $duration per row, 2 cores shared by server and wrk"
printf '%-8s %11s %12s %14s\n' server connections requests/s "p99 latency us"
for c in 1 16 64; do
  run tunelet $ours_port "$c"
  run nginx $nginx_port "$c"
done
