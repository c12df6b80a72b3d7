# Sourced by the benchmark scripts that run the installed player.
#   player_start DIST PORT ROUTE [LAUNCHER...]
# starts DIST/tunelet-player on mpv's null output (LAUNCHER, e.g.
# "taskset -c 0", runs it) with its output in DIST/player.log, waits (30 s at
# most) until http://127.0.0.1:PORT/ROUTE answers and sets $player_pid. A
# player that never answers is ended, its log printed, and the call fails.
player_start() {
  _dist="$1" _port="$2" _route="$3"
  shift 3
  "$@" "$_dist/tunelet-player" --audio=null >"$_dist/player.log" 2>&1 &
  player_pid=$!
  _tries=0
  until curl -sf "http://127.0.0.1:$_port/$_route" >/dev/null; do
    _tries=$((_tries + 1))
    if [ "$_tries" -ge 300 ]; then
      kill "$player_pid" 2>/dev/null
      cat "$_dist/player.log" >&2
      return 1
    fi
    sleep 0.1
  done
}
