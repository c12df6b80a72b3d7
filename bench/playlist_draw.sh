#!/bin/sh
# The browser client's 10,000-entry playlist in Chromium (bench/playlist_draw.js):
# installs the build, starts the player with 10,000 entries and, in its
# document root, a static page of the same rows as the reference and the
# client's page, playlist and console files as they were at an earlier
# commit (default: main), so the earlier client runs beside this one.
#   bench/playlist_draw.sh BUILD_DIR [RUNS] [EARLIER_COMMIT]   (default 5 runs)
# Needs playwright-core in build/browser-deps (see README), /usr/bin/chromium
# and node. Runs itself inside a private network namespace; only 127.0.0.1.
set -eu
cd "$(dirname "$0")/.."
if [ "${TUNELET_NETNS:-}" != 1 ]; then exec tools/netns.sh "$0" "$@"; fi
build="$1" runs="${2:-5}" earlier="${3:-main}"
deps="$(pwd)/build/browser-deps/node_modules"
[ -f "$deps/playwright-core/package.json" ] || { echo "playwright-core is missing in $deps" >&2; exit 1; }

. bench/installed_player.sh

stage=$(mktemp -d "${TMPDIR:-/tmp}/tunelet-draw.XXXXXX")
player=""
cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null && wait "$player" 2>/dev/null
  rm -rf "$stage"
}
trap cleanup EXIT INT TERM

port=18095
cmake --install "$build" --prefix "$stage/dist" >/dev/null
mkdir -p "$stage/music"
printf '[Tunelet Remote Control Plugin v1.0]\nlistenIP=127.0.0.1\nlistenPort=%s\nShared Dirs=%s;\n' "$port" \
  "$stage/music" >"$stage/dist/Plugins/gen_Tunelet.ini"
player_start "$stage/dist" "$port" getvolume || exit 1
player=$player_pid

# The entries, for empty files (the player takes only files that exist),
# with names as long as real ones, sent as "title<TAB>file name" lines a
# thousand at a time (a request body holds at most 1 MiB).
python3 - "$stage" "$port" <<'PY'
import os, sys, urllib.parse, urllib.request
stage, port = sys.argv[1], sys.argv[2]
lines = []
for i in range(1, 10001):
    folder = os.path.join(stage, "music", "Artist %04d" % (i % 700), "Album")
    os.makedirs(folder, exist_ok=True)
    name = os.path.join(folder, "%05d Song.mp3" % i)
    open(name, "w").close()
    lines.append("Artist %04d - A Rather Long Song Title Number %d\t%s\n" % (i % 700, i, name))
with open(os.path.join(stage, "entries.txt"), "w") as out:
    out.writelines(lines)
for at in range(0, len(lines), 1000):
    body = "playlist=" + urllib.parse.quote("".join(lines[at:at + 1000]), safe="")
    urllib.request.urlopen("http://127.0.0.1:%s/enqueueplaylist" % port, body.encode(), timeout=60).read()
PY
length=$(curl -sf "http://127.0.0.1:$port/getplaylistlength")
[ "$length" = 10000 ] || { echo "the player holds $length entries" >&2; exit 1; }

# The reference: the same rows as the client draws them, in the same list
# element and style sheet, written out as a static page.
root="$stage/dist/Plugins/gen_Tunelet/skins"
mkdir -p "$root"
{
  printf '<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8"><title>reference</title>\n'
  printf '<link rel="stylesheet" href="playlist.css"></head><body class="main-page"><main>\n'
  printf '<section class="box" id="playlistBox"><div class="box-body"><ol class="playlist" role="listbox">\n'
  awk -F '\t' '{ printf "<li role=\"option\" id=\"pl-%d\" draggable=\"true\" title=\"%s\" aria-selected=\"false\"><span class=\"num\">%d.</span><span class=\"title\">%s</span></li>\n", NR - 1, $2, NR, $1 }' \
    "$stage/entries.txt"
  printf '</ol></div></section></main></body></html>\n'
} >"$root/reference-playlist.html"

# The earlier client: its page and its playlist, console and listening
# scripts and style sheet as "old-*" files; the other scripts are today's
# (served by the player). The placeholders the player fills in its own
# files get the values a default set-up gives.
for file in playlist.js playlist.css console.js listen.js index.html; do
  git show "$earlier:src/webclient/files/$file" 2>/dev/null | sed -e 's/<<ML_ENABLED>>/true/' -e 's/<<VERSION>>/earlier/' \
    -e 's/"\(playlist\.js\|playlist\.css\|console\.js\|listen\.js\)"/"old-\1"/' >"$root/old-$file"
done
[ -s "$root/old-index.html" ] || { echo "no client at $earlier" >&2; exit 1; }

NODE_PATH="$deps" node bench/playlist_draw.js "http://127.0.0.1:$port" reference-playlist.html old-index.html "$runs"
