#!/bin/sh
# The installed player's request path under load, next to nginx answering
# "return 200" in the same run: wrk with keep-alive and a session cookie
# against "getvolume" (a round trip to the player's thread), "json.js" (an
# embedded resource) and "info" (the request dump), and "json.js" once more
# against nginx serving the same bytes as a static file. The servers share CPU 0,
# wrk has CPU 1, with one thread (two threads on one processor take turns,
# and their turns, not the servers, then make the 99th percentile). Prints
# requests per second, the ratio to nginx and the 99th percentile (medians of
# a few rounds), then the player's resident memory before, at the end of and
# a while after the load.
#   bench/player_load.sh BUILD_DIR [DURATION] [CONNECTIONS] [ROUNDS]   (defaults: 5s 16 3)
# Runs itself inside a private network namespace; only 127.0.0.1 is used.
set -eu
cd "$(dirname "$0")/.."
if [ "${TUNELET_NETNS:-}" != 1 ]; then exec tools/netns.sh "$0" "$@"; fi
build="$1" duration="${2:-5s}" connections="${3:-16}" rounds="${4:-3}"
command -v wrk >/dev/null || { echo "wrk is missing (Debian package wrk)" >&2; exit 1; }
. bench/reference_nginx.sh
. bench/wrk.sh
. bench/installed_player.sh

bench_begin

ours_port=18090 nginx_port=18091
mkdir -p "$work/static"
nginx_start "$work" "$nginx_port" 1 "location = / { default_type text/plain; return 200 \"ok\"; }
    location / { root $work/static; }" taskset -c 0

cmake --install "$build" --prefix "$work/dist" >/dev/null
printf '[Tunelet Remote Control Plugin v1.0]\nlistenIP=127.0.0.1\nlistenPort=%s\n' "$ours_port" \
  >"$work/dist/Plugins/gen_Tunelet.ini"
player_start "$work/dist" "$ours_port" getvolume taskset -c 0 || exit 1
server_pid=$player_pid
cookie=$(curl -si "http://127.0.0.1:$ours_port/getvolume" | tr -d '\r' |
  sed -n 's/^Set-Cookie: \(Tunelet=[^;]*\).*/\1/p')
[ -n "$cookie" ] || { echo "no session cookie" >&2; exit 1; }

rss() { awk '/VmRSS/ { print $2 }' "/proc/$server_pid/status"; }
load() {  # url: sets rps, p99, errors
  wrk_measure taskset -c 1 wrk -t1 -c"$connections" -d"$duration" --latency -H "Cookie: $cookie" "$1"
}

# One row: ROUNDS pairs of runs, nginx first in each, so that both meet the
# same moments of a shared machine; the row gives the medians and each
# round's ratio.
median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
row() {  # name nginx_url our_url [note]
  ours_all="" theirs_all="" ratios="" p99s="" theirs_p99s="" row_errors=""
  round=0
  while [ "$round" -lt "$rounds" ]; do
    round=$((round + 1))
    load "$2"
    theirs_all="$theirs_all $rps" theirs_p99s="$theirs_p99s $p99" their_rps=$rps
    load "$3"
    ours_all="$ours_all $rps" p99s="$p99s $p99" row_errors="$row_errors$errors"
    ratios="$ratios $(awk -v a="$rps" -v b="$their_rps" 'BEGIN { printf "%.2f", a / b }')"
  done
  printf '%-10s %12s %12s %8s %14s %14s  %s\n' "$1" "$(echo "$ours_all" | median)" \
    "$(echo "$theirs_all" | median)" "$(echo "$ratios" | median)" "$(echo "$p99s" | median)" \
    "$(echo "$theirs_p99s" | median)" "rounds:$ratios ${4:-}$row_errors"
}

echo "wrk -c$connections, keep-alive, session cookie, $duration per run, $rounds rounds per row;"
echo "servers on CPU 0, wrk on CPU 1; medians of the rounds, each round's ratio at the end"
rss_start=$(rss)
printf '%-10s %12s %12s %8s %14s %14s  %s\n' target requests/s nginx ratio "p99 us" "nginx p99 us" ""
for target in getvolume json.js info; do
  row "$target" "http://127.0.0.1:$nginx_port/" "http://127.0.0.1:$ours_port/$target"
done
# The embedded file is larger than "ok": nginx serving the same bytes as a
# static file shows how much of the difference is the size of the answer.
curl -s -H "Cookie: $cookie" -o "$work/static/json.js" "http://127.0.0.1:$ours_port/json.js"
row json.js "http://127.0.0.1:$nginx_port/json.js" "http://127.0.0.1:$ours_port/json.js" \
  "(nginx serving the same $(wc -c <"$work/static/json.js") bytes as a file)"
rss_end=$(rss)
sleep 2
echo "player VmRSS: $rss_start kB at start, $rss_end kB when the load ended, $(rss) kB 2 s later"
