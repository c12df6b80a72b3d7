#!/bin/sh
# "cover" answered from the cover cache, next to nginx serving the same
# bytes (the cached image, copied into its root) in the same run: wrk with
# keep-alive at 1 and 4 connections, requests per second and the 50th and
# 99th percentile latency. The target for the cover: p99 under 5 ms.
#   bench/cover.sh [BUILD_DIR] [DURATION]     (defaults: build/bench 5s)
# Runs itself inside a private network namespace; only 127.0.0.1 is used.
set -e
cd "$(dirname "$0")/.."
if [ "${TUNELET_NETNS:-}" != 1 ]; then exec tools/netns.sh "$0" "$@"; fi
build=${1:-build/bench}
duration=${2:-5s}
library_server="$build/bench/bench_library_server"
[ -x "$library_server" ] || { echo "build $library_server first" >&2; exit 1; }
for tool in wrk ffmpeg curl; do
  command -v $tool >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
. bench/reference_nginx.sh

nginx_port=18083
bench_begin

# An album folder with a large cover and a track: the answer is the cover
# scaled to 512 px, made at the first request and read from the cache after.
album="$work/music/Album"
mkdir -p "$album" "$work/www"
ffmpeg -nostdin -v error -f lavfi -i testsrc=s=1500x1500 -frames:v 1 "$album/cover.jpg"
ffmpeg -nostdin -v error -f lavfi -i anullsrc=r=44100:cl=mono -t 1 -c:a libmp3lame "$album/01 Song.mp3"

"$library_server" 0 "$work/music" > "$work/server.out" &
server_pid=$!
ours_port=$(bench_port "$work/server.out" bench_library_server)
encoded=$(printf '%s' "$album" | od -An -tx1 -v | tr -d ' \n' | sed 's/../%&/g')
cover_url="http://127.0.0.1:$ours_port/cover?path=$encoded"
curl -sf -o "$work/www/cover.jpg" "$cover_url" || { echo "no cover from the server" >&2; exit 1; }
# nginx's workers run as another user: they must be able to read the file.
chmod 755 "$work" "$work/www"
chmod 644 "$work/www/cover.jpg"
nginx_start "$work" "$nginx_port" auto "root $work/www;"

# wrk's latency lines are like "99%    1.23ms": turned into microseconds.
to_us() {
  awk '{ v=$1; u=v; sub(/[0-9.]+/, "", u); sub(/[a-z]+$/, "", v);
         m = (u=="us") ? 1 : (u=="ms") ? 1000 : (u=="s") ? 1000000 : 60000000;
         printf "%.0f", v*m }'
}
run() {  # name url connections
  threads=2; [ "$3" -lt 2 ] && threads=1
  out=$(wrk -t"$threads" -c"$3" -d"$duration" --latency "$2" 2>&1)
  rps=$(echo "$out" | awk '/^Requests\/sec:/ {printf "%.0f", $2}')
  p50=$(echo "$out" | awk '$1=="50%" {print $2}' | to_us)
  p99=$(echo "$out" | awk '$1=="99%" {print $2}' | to_us)
  errors=$(echo "$out" | awk '/Non-2xx|Socket errors/ {print}' | tr '\n' ' ')
  printf '%-8s %11s %12s %10s %10s  %s\n' "$1" "$3" "$rps" "$p50" "$p99" "$errors"
}
echo "cover from the cache ($(wc -c < "$work/www/cover.jpg") bytes), $duration per row, 2 cores shared by server and wrk"
printf '%-8s %11s %12s %10s %10s\n' server connections requests/s p50_us p99_us
for connections in 1 4; do
  run tunelet "$cover_url" "$connections"
  run nginx "http://127.0.0.1:$nginx_port/cover.jpg" "$connections"
done
