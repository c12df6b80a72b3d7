#!/usr/bin/env bash
# Builds Tunelet, installs it into dist/ and runs the host player with the
# plug-in, inside a network namespace of its own. Ctrl-C (or SIGTERM) ends
# the player cleanly. dist/ is kept between runs, and with it the settings
# file dist/Plugins/gen_Tunelet.ini.
set -euo pipefail
cd "$(dirname "$0")"

tools/deps.sh build-essential cmake ninja-build pkg-config libssl-dev libtag1-dev libclucene-dev \
  iproute2 util-linux

build="build/run"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTUNELET_TESTS=OFF -DTUNELET_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
cmake --install "$build" --prefix dist >/dev/null

# The port the plug-in will listen on: the settings file's, else the default.
port=5151
settings="dist/Plugins/gen_Tunelet.ini"
if [ -f "$settings" ]; then
  configured="$(sed -n 's/^[[:space:]]*[Ll][Ii][Ss][Tt][Ee][Nn][Pp][Oo][Rr][Tt][[:space:]]*=[[:space:]]*\([0-9][0-9]*\).*/\1/p' "$settings" | head -n 1)"
  [ -n "$configured" ] && port="$configured"
fi
# Every exec below keeps this process id, so the player will run as $$.
if [ "$(id -u)" = 0 ]; then enter="nsenter -t $$ -n"; else enter="nsenter -t $$ -U -n --preserve-credentials"; fi
echo "Tunelet is starting. Open http://localhost:$port/"
echo "The player has a network namespace of its own; from another terminal reach it with"
echo "  $enter curl http://localhost:$port/"
echo "Press Ctrl-C to quit."
exec tools/netns.sh dist/tunelet-player
