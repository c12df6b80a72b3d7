#!/usr/bin/env bash
# Builds the Debian package and tries it on this machine, as root:
#   tools/package-check.sh
# The package's control data and files are checked, it is installed with
# dpkg -i, its units checked with systemd-analyze verify, and the system
# unit's own command line run as its user (in a network namespace of its
# own): it must answer on port 5151 with an empty library and end cleanly on
# SIGTERM with its state saved; the user unit's command line likewise, for a
# user with a fresh home. The system unit's player is also set up through its
# settings page from this machine (a folder shared there, a file of it
# played). Then dpkg -r must leave no installed file
# but the service's data, and dpkg -P that data neither.
# It installs into the system's folders: it refuses to run where a tunelet
# package or /var/lib/tunelet is present already, and whatever happens it
# purges the package at the end (and removes the user tunelet when it made
# it). The build (build/package) takes the compiler settings test.sh uses,
# so that its compiles come from the compiler cache.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "package-check.sh: $*" >&2; exit 1; }
port=5151

# Inside the namespace: a unit's command line as the user tunelet whose home
# is HOME, with the plain environment a service gets; its files must land in
# DATA. Every check of the running player.
#   package-check.sh --serve HOME DATA CMD...
if [ "${1:-}" = --serve ]; then
  home="$2" data="$3"
  shift 3
  log="$(mktemp)"
  trap 'rm -f "$log"' EXIT
  (cd "$home" && exec env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home" USER=tunelet \
    setpriv --reuid=tunelet --regid=tunelet --init-groups "$@") >"$log" 2>&1 &
  player=$!
  ask() { curl -fsS --max-time 10 "http://127.0.0.1:$port/$1"; }
  for _ in $(seq 200); do
    ask getvolume >/dev/null 2>&1 && break
    kill -0 "$player" 2>/dev/null || { cat "$log"; fail "the player ended before it listened"; }
    sleep 0.1
  done
  status="$(ask consolestatus.xml)" || { cat "$log"; kill -KILL "$player"; fail "no status document on port $port"; }
  listing="$(ask 'library.js?path=')" || { kill -KILL "$player"; fail "no library listing"; }
  # A user's first steps, from this machine, without editing a file: the
  # settings page, a folder shared there, its file played.
  if [ -n "${TUNELET_CHECK_MUSIC:-}" ]; then
    jar="$(mktemp)"
    admin() { curl -fsS --max-time 10 -b "$jar" -c "$jar" "$@"; }
    admin "http://127.0.0.1:$port/admin" | grep -q "<html" || { kill -KILL "$player"; fail "no settings page"; }
    token="$(admin "http://127.0.0.1:$port/admin/settings.json" | sed -n 's/.*"token":"\([0-9a-zA-Z]*\)".*/\1/p')"
    [ -n "$token" ] || { kill -KILL "$player"; fail "the settings page gave no token"; }
    admin -H "X-Tunelet-Token: $token" --data-urlencode "sharedDirs=$TUNELET_CHECK_MUSIC" -d enableML=1 \
      "http://127.0.0.1:$port/admin/apply" >/dev/null || { kill -KILL "$player"; fail "the settings page refused the shared folder"; }
    rm -f "$jar"
    ask 'library.js?path=' | grep -q "$(basename "$TUNELET_CHECK_MUSIC")" || { kill -KILL "$player"; fail "the shared folder is not listed"; }
    track="$TUNELET_CHECK_MUSIC/track.mp3"
    ask "playfile?filename=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$track")" >/dev/null
    for _ in $(seq 50); do
      ask consolestatus.xml | grep -q "<filename><!\[CDATA\[$track\]\]>" && break
      sleep 0.1
    done
    ask consolestatus.xml | grep -q "<filename><!\[CDATA\[$track\]\]>" || { ask consolestatus.xml; ask getplaylistfilename; kill -KILL "$player"; cat "$log"; fail "the shared file does not play"; }
  fi
  kill -TERM "$player"
  code=0
  wait "$player" || code=$?
  cat "$log"
  case "$status" in *"<console>"*"<filename><![CDATA[]]></filename>"*) ;; *) fail "not an idle player's status: $status" ;; esac
  case "$(tr -d ' \n' <<<"$listing")" in *'"path":"",'*'"files":[]'*) ;; *) fail "the library is not empty: $listing" ;; esac
  [ "$code" = 0 ] || fail "the player ended with status $code on SIGTERM"
  for made in tunelet-player.m3u Plugins/gen_Tunelet/skins; do
    [ "$(stat -c %U "$data/$made" 2>/dev/null)" = tunelet ] || fail "$data/$made is not the service's"
  done
  exit 0
fi

[ "$(id -u)" = 0 ] || fail "run it as root: it installs the package"
if dpkg-query -W -f='${Status}' tunelet 2>/dev/null | grep -q installed; then
  fail "a tunelet package is installed already; remove it first"
fi
[ ! -e /var/lib/tunelet ] || fail "/var/lib/tunelet exists already; move it away first"
tools/deps.sh dpkg-dev systemd adduser curl util-linux ffmpeg

build=build/package
config="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
[ "${TUNELET_WERROR:-0}" = 1 ] && config="$config -DTUNELET_WERROR=ON"
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake -S . -B "$build" -G Ninja $config -DTUNELET_SANITIZE=none -DTUNELET_BENCH=OFF -DTUNELET_TESTS=OFF \
  -DTUNELET_PACKAGE=ON >/dev/null
cmake --build "$build" -j "$(nproc)" >"$build.log" 2>&1 || { tail -n 40 "$build.log"; fail "the build failed"; }
rm -f "$build"/tunelet_*.deb
(cd "$build" && cpack >/dev/null 2>&1) || fail "cpack failed (cd $build && cpack says why)"
deb="$(ls "$build"/tunelet_*_amd64.deb)"
echo "package-check.sh: built $deb"

# The control data: the name, and a dependency on each library's package.
info="$(dpkg-deb -I "$deb")"
grep -qx ' Package: tunelet' <<<"$info" || fail "not the package tunelet: $info"
depends="$(sed -n 's/^ Depends: //p' <<<"$info")"
names="$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')"
for needed in adduser libmpv2 libtag1v5 libclucene-core1v5 libqt6widgets6 libssl3 libstdc++6; do
  grep -qxF "$needed" <<<"$names" || fail "no dependency on $needed: $depends"
done
# The files, exactly.
files="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' | sort)"
expected="./usr/bin/tunelet-player -> ../lib/tunelet/tunelet-player
./usr/lib/systemd/system/tunelet.service
./usr/lib/systemd/user/tunelet.service
./usr/lib/tunelet/Plugins/gen_Tunelet.so
./usr/lib/tunelet/libtunelet_platform.so
./usr/lib/tunelet/tunelet-player
./usr/share/man/man1/tunelet-player.1.gz"
[ "$files" = "$expected" ] || fail "the package's files differ:
$(diff <(echo "$expected") <(echo "$files") || true)"

made_user=1
getent passwd tunelet >/dev/null && made_user=0
runtime="$(mktemp -d)"
cleanup() {
  dpkg -P tunelet >/dev/null 2>&1 || true
  # Absent before the run (checked above), so the run's own.
  rm -rf /var/lib/tunelet
  if [ "$made_user" = 1 ] && getent passwd tunelet >/dev/null; then
    userdel tunelet || true
    getent group tunelet >/dev/null && { groupdel tunelet || true; }
  fi
  rm -rf "$runtime"
}
trap cleanup EXIT

dpkg -i "$deb" >/dev/null
[ "$(getent passwd tunelet | cut -d: -f6)" = /var/lib/tunelet ] || fail "no user tunelet with home /var/lib/tunelet"
systemd-analyze verify /usr/lib/systemd/system/tunelet.service || fail "the system unit does not verify"
XDG_RUNTIME_DIR="$runtime" systemd-analyze --user verify /usr/lib/systemd/user/tunelet.service ||
  fail "the user unit does not verify"

# Each unit's command line, read as systemd reads it: words, quotes, and $$
# for a $ (the units use no other expansion).
unit_command() {
  local line
  line="$(sed -n 's/^ExecStart=//p' "$1")"
  eval "command=(${line//\$\$/\$})"
}
unit_command /usr/lib/systemd/system/tunelet.service
[ "$(sed -n 's/^User=//p' /usr/lib/systemd/system/tunelet.service)" = tunelet ] || fail "the unit runs as another user"
# A folder of music any user may read, shared through the settings page.
chmod 755 "$runtime"
install -d -m 755 "$runtime/music"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=2" -q:a 9 "$runtime/music/track.mp3" ||
  fail "ffmpeg could not make a track"
chmod 644 "$runtime/music/track.mp3"
TUNELET_CHECK_MUSIC="$runtime/music" tools/netns.sh "$0" --serve /var/lib/tunelet /var/lib/tunelet "${command[@]}"
# The user unit, for a user whose home is a fresh folder.
unit_command /usr/lib/systemd/user/tunelet.service
install -d -o tunelet -g tunelet "$runtime/home"
tools/netns.sh "$0" --serve "$runtime/home" "$runtime/home/.local/share/tunelet" "${command[@]}"

# Removed: none of the package's files, its data kept.
dpkg -r tunelet >/dev/null
for file in $(awk '{ print substr($1, 2) }' <<<"$files") /usr/lib/tunelet; do
  if [ -e "$file" ] || [ -L "$file" ]; then fail "$file is left after dpkg -r"; fi
done
[ -f /var/lib/tunelet/tunelet-player.m3u ] || fail "dpkg -r removed the service's data"
dpkg -P tunelet >/dev/null
[ ! -e /var/lib/tunelet ] || fail "dpkg -P left /var/lib/tunelet"
echo "package-check.sh: the package installs, serves on port $port, shares and plays a folder through its settings page, stops cleanly and removes cleanly"
