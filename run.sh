#!/usr/bin/env bash
# Builds Tunelet, installs it into dist/ and runs the host player with the
# plug-in. dist/ is kept between runs, and with it the settings file
# dist/Plugins/gen_Tunelet.ini (a first run writes one: see tools/first-run.sh).
#   ./run.sh        the player in a network namespace of its own (nothing
#                   reaches the LAN); 127.0.0.1:<port> of this machine is
#                   forwarded into it, so a browser here opens the address
#   ./run.sh --lan  the player on this machine's own network: phones on the
#                   LAN reach it, and it finds its peers
# Ctrl-C (or SIGTERM) ends the player cleanly, and the forwarder with it.
# The address is printed once the forwarder and the player both listen;
# when either cannot (the port taken, an address not on this machine) the
# script says what failed and exits non-zero, leaving any other instance be.
# TUNELET_DIST names another install folder; TUNELET_BUILD_DIR installs from
# a tree built already instead of building (the tests use both).
set -euo pipefail
cd "$(dirname "$0")"

lan=0
case "${1:-}" in
  --lan) lan=1 ;;
  "") ;;
  *) echo "usage: ./run.sh [--lan]" >&2; exit 2 ;;
esac

tools/deps.sh build-essential cmake ninja-build pkg-config libssl-dev libtag1-dev libicu-dev libclucene-dev \
  libmpv-dev ffmpeg socat iproute2 util-linux qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins

dist="${TUNELET_DIST:-dist}"
settings="$dist/Plugins/gen_Tunelet.ini"
# A setting of the settings file (the first one named so), else nothing.
setting() {
  [ -f "$settings" ] || return 0
  sed -n "s/^[[:space:]]*$1[[:space:]]*=[[:space:]]*\\([^[:space:]]*\\).*/\\1/Ip" "$settings" | head -n 1
}
# The address the plug-in will listen on: the settings file's, else the default.
read_address() {
  port="$(setting listenPort | tr -cd 0-9)"
  [ -n "$port" ] || port=5151
  address="$(setting listenIP)"
  case "$address" in ""|0.0.0.0) address=127.0.0.1 ;; esac
}
# Another program (a Tunelet already running, say) listening on this
# machine's port: said before anything is built or installed, so a running
# instance is left as it is.
refuse_taken_port() {
  [ "$lan" = 0 ] || return 0
  taken="$(ss -Hltnp "sport = :$port" 2>/dev/null | head -n 1 | tr -s ' ')"
  [ -n "$taken" ] || return 0
  echo "run.sh: port $port is taken on this machine already (another ./run.sh?):" >&2
  echo "  $taken" >&2
  echo "Tunelet is not started. Quit the other program, or set listenPort= in $settings." >&2
  exit 1
}
read_address
[ -f "$settings" ] && refuse_taken_port

build="${TUNELET_BUILD_DIR:-}"
if [ -z "$build" ]; then
  build="build/run"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTUNELET_TESTS=OFF -DTUNELET_BENCH=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)"
fi
cmake --install "$build" --prefix "$dist" >/dev/null
tools/first-run.sh "$dist"
read_address
refuse_taken_port

if [ "$lan" = 1 ]; then
  echo "Tunelet is starting on this machine's network: open http://localhost:$port/ here,"
  echo "or http://<this machine's address>:$port/ from another device. Ctrl-C quits."
  exec "$dist/tunelet-player"
fi

runtime="$(mktemp -d "${TMPDIR:-/tmp}/tunelet-run.XXXXXX")"
socket="$runtime/player.sock"
player="" inner="" outer=""
finish() {
  for pid in $outer $inner; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in $outer $inner; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$runtime"
}
trap finish EXIT
trap '[ -n "$player" ] && kill -TERM "$player" 2>/dev/null' INT TERM
# Says what failed, ends the player, and exits non-zero.
fail() {
  echo "run.sh: $*" >&2
  echo "Tunelet is not running." >&2
  if [ -n "$player" ]; then
    kill -TERM "$player" 2>/dev/null || true
    wait "$player" 2>/dev/null || true
  fi
  exit 1
}
# The last thing a forwarder said about its failure (socat's own words).
said() { tail -n 1 "$runtime/$1.log" 2>/dev/null | sed 's/^.* E //'; }

# A new namespace even when this shell runs in one made by tools/netns.sh.
# Each helper gets SIGTERM should this script die without cleaning up. The
# player's standard error goes on to this one's and into a file, where its
# line about an address it cannot listen on is looked for (the copier
# ignores Ctrl-C, so the player's last words on quitting still reach it).
setpriv --pdeathsig TERM env -u TUNELET_NETNS tools/netns.sh "$dist/tunelet-player" \
  2> >(trap '' INT TERM; exec tee "$runtime/player.log" >&2) &
player=$!
deadline=$((SECONDS + 20))
until [ "$(readlink "/proc/$player/ns/net" 2>/dev/null)" != "$(readlink /proc/$$/ns/net)" ]; do
  if ! kill -0 "$player" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
    fail "the player did not start"
  fi
  sleep 0.05
done
if [ "$(id -u)" = 0 ]; then enter="nsenter -t $player -n"; else enter="nsenter -t $player -U -n --preserve-credentials"; fi
# Inside: the Unix socket's connections go to the player's port. Outside:
# this machine's loopback port goes to the Unix socket. Each is ready once
# it listens itself (not merely someone on that port).
setpriv --pdeathsig TERM $enter socat "UNIX-LISTEN:$socket,fork,mode=600" "TCP:$address:$port" 2>"$runtime/inner.log" &
inner=$!
setpriv --pdeathsig TERM socat "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr,fork" "UNIX-CONNECT:$socket" \
  2>"$runtime/outer.log" &
outer=$!
until [ -S "$socket" ] && ss -Hltnp "sport = :$port" 2>/dev/null | grep -q "pid=$outer,"; do
  kill -0 "$inner" 2>/dev/null || fail "cannot forward into the player's namespace: $(said inner)"
  kill -0 "$outer" 2>/dev/null || fail "cannot forward 127.0.0.1:$port: $(said outer)"
  [ "$SECONDS" -lt "$deadline" ] || fail "cannot forward 127.0.0.1:$port into the player's namespace (no answer in time)"
  sleep 0.05
done
# The address is printed once the plug-in listens too.
if [ "$(setting autoStart)" = 0 ]; then
  echo "The server is set not to start (autoStart=0 in $settings)."
  echo "Start it in Tunelet Preferences; it then answers at http://127.0.0.1:$port/. Press Ctrl-C to quit."
else
  until [ -n "$($enter ss -Hltn "sport = :$port" 2>/dev/null)" ]; do
    kill -0 "$player" 2>/dev/null || fail "the player ended before it listened on port $port"
    cannot="$(grep -m 1 "cannot listen on" "$runtime/player.log" 2>/dev/null || true)"
    [ -z "$cannot" ] || fail "the player ${cannot#Tunelet: }"
    [ "$SECONDS" -lt "$((deadline + 30))" ] || fail "the player does not listen on port $port"
    sleep 0.05
  done
  echo "Tunelet is running. Open http://127.0.0.1:$port/ in a browser on this machine."
  echo "The player has a network namespace of its own; 127.0.0.1:$port is forwarded into it,"
  echo "so every client appears to it as 127.0.0.1. ./run.sh --lan runs it on this machine's network."
  echo "Press Ctrl-C to quit."
fi

# A trapped signal ends `wait` early: wait again until the player has ended.
status=0
while :; do
  if wait "$player"; then status=0; else status=$?; fi
  kill -0 "$player" 2>/dev/null || break
done
exit "$status"
