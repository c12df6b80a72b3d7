#!/bin/sh
# Throughput of "download" of a 64 MiB file over loopback with 4 kept
# connections, next to nginx serving the same file with sendfile in the same
# run (wrk, 2 threads): bytes per second of each and their ratio. Then the
# time per request of the large listings (bench_library_routes).
#   bench/download.sh [BUILD_DIR] [DURATION]     (defaults: build/bench 5s)
# Runs itself inside a private network namespace; only 127.0.0.1 is used.
set -e
cd "$(dirname "$0")/.."
if [ "${TUNELET_NETNS:-}" != 1 ]; then exec tools/netns.sh "$0" "$@"; fi
build=${1:-build/bench}
duration=${2:-5s}
library_server="$build/bench/bench_library_server"
routes="$build/bench/bench_library_routes"
[ -x "$library_server" ] || { echo "build $library_server first" >&2; exit 1; }
command -v wrk >/dev/null || { echo "wrk is missing (Debian package wrk)" >&2; exit 1; }
. bench/reference_nginx.sh
. bench/wrk.sh

nginx_port=18082
bench_begin

mkdir -p "$work/music" "$work/logs"
head -c 67108864 /dev/urandom > "$work/music/big.mp3"
# nginx's workers run as another user: they must be able to read the file.
chmod 755 "$work" "$work/music"
chmod 644 "$work/music/big.mp3"

nginx_start "$work" "$nginx_port" auto "root $work/music;"

"$library_server" 0 "$work/music" > "$work/server.out" &
server_pid=$!
ours_port=$(bench_port "$work/server.out" bench_library_server)

# Transfer/sec of wrk, in MiB/s; wrk's error lines, if any, go to standard error.
rate() {
  out=$(wrk -t2 -c4 -d"$duration" --timeout 30s "$1" 2>&1)
  echo "$out" | grep -E 'Non-2xx|Socket errors' >&2 || true
  echo "$out" | awk '/^Transfer\/sec:/ {
    v=$2; u=v; sub(/[0-9.]+/, "", u); sub(/[A-Za-z]+$/, "", v);
    m = (u=="GB") ? 1024 : (u=="MB") ? 1 : (u=="KB") ? 1/1024 : 1/1048576;
    printf "%.0f", v*m }'
}
echo "download of a 64 MiB file, wrk -t2 -c4, $duration per row, 2 cores shared by server and wrk"
ours=$(rate "http://127.0.0.1:$ours_port/download?path=$(url_encode "$work/music/big.mp3")")
theirs=$(rate "http://127.0.0.1:$nginx_port/big.mp3")
printf '%-8s %8s MiB/s\n' tunelet "$ours" nginx "$theirs"
awk -v a="$ours" -v b="$theirs" 'BEGIN { if (b > 0) printf "ratio tunelet/nginx: %.2f\n", a / b }'

if [ -x "$routes" ]; then
  "$routes" --benchmark_min_time=2
fi
