#!/bin/sh
# Gives a first run something to play: when the install folder has no
# settings file yet, writes one that shares the user's music folder
# (`xdg-user-dir MUSIC`, else ~/Music) when it holds files, otherwise a small
# sample library of tagged tracks generated here (ffmpeg) under the install
# folder. The search index is marked as to be built. Says what it shares and
# how to change it. With a settings file present it does nothing.
#   tools/first-run.sh INSTALL_DIR
set -eu
if [ "$#" -ne 1 ]; then echo "usage: tools/first-run.sh INSTALL_DIR" >&2; exit 2; fi
dist="$(cd "$1" && pwd)"
ini="$dist/Plugins/gen_Tunelet.ini"
[ -e "$ini" ] && exit 0

music=""
if command -v xdg-user-dir >/dev/null 2>&1; then music="$(xdg-user-dir MUSIC 2>/dev/null || true)"; fi
# xdg-user-dir answers the home folder itself when no music folder is set up.
if [ -z "$music" ] || [ "$music" = "$HOME" ] || [ "$music" = "$HOME/" ]; then music="$HOME/Music"; fi

if [ -d "$music" ] && [ -n "$(find "$music" -type f -print 2>/dev/null | head -n 1)" ]; then
  shared="$(cd "$music" && pwd)"
  what="your music folder $shared"
else
  shared="$dist/Sample Music"
  what="a sample library generated in $shared"
  # artist|album|title|file|sound (an ffmpeg aevalsrc expression of t)
  while IFS='|' read -r artist album title file sound; do
    [ -n "$artist" ] || continue
    mkdir -p "$shared/$artist/$album"
    out="$shared/$artist/$album/$file"
    [ -s "$out" ] && continue
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "aevalsrc=$sound:s=22050:d=10" \
      -metadata artist="$artist" -metadata album="$album" -metadata title="$title" \
      -metadata track="${file%% *}" "$out"
  done <<'TRACKS'
Tunelet Ensemble|Morning Tones|Rising Fifths|1 Rising Fifths.ogg|0.3*sin(2*PI*t*220*pow(1.5\,mod(floor(t*2)\,4)))*exp(-3*mod(t\,0.5))
Tunelet Ensemble|Morning Tones|Slow Bell|2 Slow Bell.ogg|0.4*sin(2*PI*t*330)*exp(-1.5*mod(t\,2))+0.1*sin(2*PI*t*660)*exp(-3*mod(t\,2))
Tunelet Ensemble|Evening Tones|Low Hum|1 Low Hum.flac|0.25*sin(2*PI*t*110)*(0.6+0.4*sin(2*PI*t*0.5))
Tunelet Ensemble|Evening Tones|Two Notes|2 Two Notes.flac|0.3*sin(2*PI*t*if(mod(floor(t)\,2)\,392\,262))*exp(-2*mod(t\,1))
Test Tones|Reference|A 440|1 A 440.mp3|0.2*sin(2*PI*t*440)
Test Tones|Reference|Sweep|2 Sweep.wav|0.2*sin(2*PI*(100*t+60*t*t))
TRACKS
fi

mkdir -p "$dist/Plugins"
umask 077
printf '[Tunelet Remote Control Plugin v1.0]\nShared Dirs=%s;\nNeedsIndex=1\n' "$shared" >"$ini.new"
mv "$ini.new" "$ini"
echo "First run: sharing $what."
echo "To share other folders, stop the player and edit \"Shared Dirs=\" in $ini"
echo "(full paths, each followed by \";\")."
