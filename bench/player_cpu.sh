#!/bin/sh
# CPU use and resident memory of the installed player while it plays one
# track on mpv's null output with no client asking anything, against the same
# player idle (stopped) and the mpv program playing the same track the same
# way, in the same run.
#   tools/netns.sh bench/player_cpu.sh BUILD_DIR [SECONDS]
set -eu
build="$1" seconds="${2:-20}"
[ "${TUNELET_NETNS:-}" = 1 ] || { echo "run me inside tools/netns.sh" >&2; exit 2; }
. "$(dirname "$0")/installed_player.sh"
stage="$(mktemp -d "${TMPDIR:-/tmp}/tunelet-bench.XXXXXX")"
player="" measured=""
# Whatever still runs (the player, mpv) ends with the script, however it ends.
trap 'for p in $player $measured; do kill "$p" 2>/dev/null; done; rm -rf "$stage"' EXIT INT TERM
cmake --install "$build" --prefix "$stage/dist" >/dev/null
mkdir -p "$stage/music"
ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$((seconds * 3))" \
  -ac 2 -c:a libvorbis "$stage/music/track.ogg"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf '[Tunelet Remote Control Plugin v1.0]\nlistenPort=%s\nShared Dirs=%s;\n' "$port" "$stage/music" \
  >"$stage/dist/Plugins/gen_Tunelet.ini"
player_start "$stage/dist" "$port" getplaylistlength || exit 1
player=$player_pid

ticks() { awk '{ print $14 + $15 }' "/proc/$measured/stat"; }
measure() {  # $1: label
  before=$(ticks); start=$(date +%s.%N)
  sleep "$seconds"
  after=$(ticks); end=$(date +%s.%N)
  rss=$(awk '/VmRSS/ { print $2 }' "/proc/$measured/status")
  awk -v b="$before" -v a="$after" -v s="$start" -v e="$end" -v hz="$(getconf CLK_TCK)" -v r="$rss" -v l="$1" \
    'BEGIN { printf "%-8s CPU %.2f%% of one core, VmRSS %d kB\n", l, 100 * (a - b) / hz / (e - s), r }'
}
measured=$player
measure stopped
curl -sf "http://127.0.0.1:$port/enqueuefile?filename=$stage/music/track.ogg" >/dev/null
curl -sf "http://127.0.0.1:$port/play" >/dev/null
sleep 1
measure playing
echo "position after: $(curl -sf "http://127.0.0.1:$port/getposition")"
curl -sf "http://127.0.0.1:$port/stop" >/dev/null
mpv --no-config --really-quiet --ao=null --vid=no "$stage/music/track.ogg" &
measured=$!
sleep 1
measure "mpv"
kill "$measured"
