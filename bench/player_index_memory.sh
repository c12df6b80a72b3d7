#!/bin/sh
# The host player's resident memory with a library index of 1,000,000 tagged
# tracks (written by bench_tagged_index, no files on disk), against the same
# player with an empty library, in the same run. Each is started headless
# (`--headless --home DIR`, mpv's null output) with the same settings;
# VmRSS is read from /proc once it answers, then after a round of searches
# and listings (a search as library.js lists it, find.js, artists.js,
# albums.js, an artist's albums, album.js, genres.js, years.js), each
# request's time printed, and again after a second round; VmHWM is the peak.
#   bench/player_index_memory.sh [BUILD_DIR]    (default: build/default; it needs
#   the targets tunelet-player, tunelet_platform, gen_Tunelet, bench_tagged_index)
# Runs itself inside a private network namespace; only 127.0.0.1 is used.
set -eu
cd "$(dirname "$0")/.."
if [ "${TUNELET_NETNS:-}" != 1 ]; then exec tools/netns.sh "$0" "$@"; fi
build=${1:-build/default}
writer="$build/bench/bench_tagged_index"
[ -x "$writer" ] || { echo "build $writer first" >&2; exit 1; }
command -v curl >/dev/null || { echo "curl is missing" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tunelet-bench.XXXXXX")
player_pid=""
finish() {
  if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null || true; wait "$player_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 1' INT TERM

cmake --install "$build" --prefix "$work/dist" >/dev/null
port=18095
mkdir -p "$work/music"

# The settings of both homes; the big one's index is written beside them.
for home in empty big; do
  mkdir -p "$work/$home/Plugins"
  printf '[Tunelet Remote Control Plugin v1.0]\nlistenIP=127.0.0.1\nlistenPort=%s\nShared Dirs=%s\n' \
    "$port" "$work/music" >"$work/$home/Plugins/gen_Tunelet.ini"
done
started=$(date +%s)
"$writer" "$work/big/Plugins/gen_Tunelet" "$work/music"
echo "index of 1,000,000 tagged tracks written in $(($(date +%s) - started)) s; load averages: $(cut -d' ' -f1-3 /proc/loadavg)"

# An artist and an album of the generated index (see bench/TaggedIndex.h).
artist='time%20river%204711'
album='album%3A%2F%2Ftime%2520river%25204711%2Fmoon%2520album%25202'
routes="library.js?path=search%3A%2F%2Flove&callback=cb
find.js?q=love&callback=cb
find.js?q=love&sortby=4&callback=cb
artists.js?callback=cb
albums.js?callback=cb
albums.js?artist=$artist&callback=cb
album.js?path=$album&callback=cb
genres.js?callback=cb
years.js?callback=cb"

status() { awk -v key="$1:" '$1 == key { printf "%.1f", $2 / 1024 }' "/proc/$player_pid/status"; }

measure() {  # home: sets start_rss, first_rss, second_rss, peak and appends to $work/times.$home
  "$work/dist/tunelet-player" --audio=null --headless --home "$work/$1" >"$work/$1.log" 2>&1 &
  player_pid=$!
  tries=0
  until curl -sf "http://127.0.0.1:$port/getvolume" >/dev/null; do
    tries=$((tries + 1))
    if [ "$tries" -ge 300 ]; then cat "$work/$1.log" >&2; exit 1; fi
    sleep 0.1
  done
  cookie=$(curl -si "http://127.0.0.1:$port/getvolume" | tr -d '\r' | sed -n 's/^Set-Cookie: \(Tunelet=[^;]*\).*/\1/p')
  [ -n "$cookie" ] || { echo "no session cookie" >&2; exit 1; }
  start_rss=$(status VmRSS)
  for round in first second; do
    echo "$routes" | while read -r route; do
      printf '%s %s\n' "$round ${route%%callback=cb}" \
        "$(curl -s -o /dev/null -H "Cookie: $cookie" -w '%{http_code} %{time_total}' "http://127.0.0.1:$port/$route")"
    done >>"$work/times.$1"
    eval "${round}_rss=\$(status VmRSS)"
  done
  peak=$(status VmHWM)
  kill "$player_pid"
  wait "$player_pid" 2>/dev/null || true
  player_pid=""
}

measure empty
empty_start=$start_rss empty_first=$first_rss empty_second=$second_rss empty_peak=$peak
measure big

echo
echo "requests (status, seconds): empty library | 1,000,000 tracks"
paste -d'|' "$work/times.empty" "$work/times.big" | awk -F'|' '{ split($2, b, " "); printf "  %-72s | %s %s\n", $1, b[length(b) - 1], b[length(b)] }'
echo
printf '%-34s %14s %18s %12s\n' "player, MB" "empty library" "1,000,000 tracks" "difference"
row() { printf '%-34s %14s %18s %+12.1f\n' "$1" "$2" "$3" "$(echo "$3 - $2" | bc)"; }
row "VmRSS at start" "$empty_start" "$start_rss"
row "VmRSS after the first requests" "$empty_first" "$first_rss"
row "VmRSS after the second requests" "$empty_second" "$second_rss"
row "VmHWM (peak)" "$empty_peak" "$peak"
echo "load averages at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
