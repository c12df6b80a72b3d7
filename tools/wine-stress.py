#!/usr/bin/env python3
"""The Windows host under Wine asked for commands and listings, round after
round, while it builds its first index of many files: a stress run that
shows whether it ever stops answering. Prints each request before it is
sent; ends with "answered every round" or the request that timed out.
   tools/wine-stress.py [DIST] [ROUNDS]      (DIST: build/windows/dist)
Run it as tools/check-windows.sh runs the Wine tests: a Wine prefix
(WINEPREFIX, WINEARCH=win32), a display (xvfb-run -a) and a network
namespace of its own (tools/netns.sh); beside busy loops to load the machine."""
import os, shutil, sys, tempfile, time, urllib.parse

here = os.path.dirname(os.path.abspath(__file__))
dist = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build", "windows", "dist")
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 200
sys.argv = [sys.argv[0], dist]
sys.path[:0] = [os.path.join(here, "..", "tests", "windows"), os.path.join(here, "..", "tests", "e2e")]
from player_support import free_port, get, tone  # noqa: E402
from wine_player import WinePlayer, windows_path  # noqa: E402

stage = tempfile.mkdtemp(prefix="tunelet-wine-stress.")
music = os.path.join(stage, "music")
song = os.path.join(music, "Blue Album", "Ocean Song.wav")
os.makedirs(os.path.dirname(song))
tone(song, 4)
for folder in range(40):
    os.makedirs(os.path.join(music, "many", str(folder)))
    for track in range(250):
        open(os.path.join(music, "many", str(folder), f"track {track}.mp3"), "w").close()
player = WinePlayer(stage, "w", music)
player.start(free_port(), "NeedsIndex=1\r\n")
routes = ["clearplaylist", "enqueuefile?filename=" + urllib.parse.quote(windows_path(song), safe=""),
          "getplaylistlength", "library.js?callback=g", "getvolume"]
start = time.time()
try:
    for round in range(rounds):
        for route in routes:
            print(round, "%.2f s" % (time.time() - start), route[:24], flush=True)
            get(player.port, route)
    print("answered every round")
    player.stop()
finally:
    if player.process and player.process.poll() is None:
        player.process.kill()
    shutil.rmtree(stage, True)
