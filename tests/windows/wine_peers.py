#!/usr/bin/env python3
"""A Linux player and the Windows host under Wine on one network: each finds
the other by its announcements, and each plays the other's music (the Linux
one for real, through its null audio output; the Windows one on its
simulated clock, which needs the song's length), as its console status
document tells.
   wine_peers.py CMAKE LINUX_BUILD DIST
Inside tools/netns.sh only (announcements are broadcast), with WINEPREFIX set."""
import json, os, re, shutil, sys, tempfile, unittest, urllib.parse, urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
CMAKE, LINUX_BUILD = sys.argv.pop(1), sys.argv.pop(1)
from player_support import InstalledPlayer, free_port, get, tone, wait_until  # noqa: E402
from wine_player import WinePlayer, windows_path  # noqa: E402  (takes DIST from the arguments)


def libraries(port):
    """The libraries "favorites.js" lists, by key, asked as the browser asks."""
    request = urllib.request.Request(f"http://127.0.0.1:{port}/favorites.js?callback=f&JSON_auth=s1",
                                     headers={"Cookie": "Tunelet=s1"})
    with urllib.request.urlopen(request, timeout=10) as answer:
        text = answer.read().decode()
    return json.loads(text[2:-2])


def key_of(port, listing):
    """The key under which a listing holds the library on `port`."""
    return next((key for key in listing if key.endswith(f":{port}/")), None)


def console(player):
    """The console status document, with its position (a fraction of the
    length, 0 while the length is unknown) and length in ms."""
    text = get(player.port, "consolestatus.xml")
    field = lambda name: re.search(f"<{name}>([^<]*)</{name}>", text).group(1)
    return text, float(field("position")), int(field("lengthms"))


class LinuxAndWindows(unittest.TestCase):
    def assert_plays(self, player, song):
        """`player` plays its one entry, `song` from its peer, onwards from
        the start of a length it knows."""
        get(player.port, "play")

        def onwards():
            text, position, length = console(player)
            return song in urllib.parse.unquote(text) and 0 < position < 1 and length > 0
        self.assertTrue(wait_until(onwards, 30), console(player)[0])
        get(player.port, "stop")

    def test_each_finds_the_other_and_plays_its_music(self):
        stage = tempfile.mkdtemp(prefix="tunelet-wine-peers.")
        self.addCleanup(shutil.rmtree, stage, True)
        for side in ("linux", "windows"):
            os.makedirs(os.path.join(stage, side, "album"))
            tone(os.path.join(stage, side, "album", side + " song.wav"), 3)
        linux = InstalledPlayer(CMAKE, LINUX_BUILD, stage, "l", os.path.join(stage, "linux"))
        windows = WinePlayer(stage, "w", os.path.join(stage, "windows"))
        self.addCleanup(linux.stop)
        self.addCleanup(windows.stop)
        linux.start(free_port())
        windows.start(free_port())
        self.assertTrue(wait_until(lambda: key_of(windows.port, libraries(linux.port)), 20), libraries(linux.port))
        self.assertTrue(wait_until(lambda: key_of(linux.port, libraries(windows.port)), 20),
                        libraries(windows.port))

        def enqueue_from(player, peer, folder):
            host = key_of(peer.port, libraries(player.port))[:-1]
            stream = f"http://{host}/stream?path=" + urllib.parse.quote(folder, safe="")
            get(player.port, "clearplaylist")
            get(player.port, "enqueuefile?filename=" + urllib.parse.quote(stream, safe=""))
            self.assertEqual(get(player.port, "getplaylistlength"), "1")
            name = get(player.port, "getplaylistfilename?index=0")
            self.assertTrue(name.startswith(f"http://{host}/download?path="), name)
            return name
        # The Linux player plays the Windows one's song, downloaded from it.
        name = enqueue_from(linux, windows, windows_path(os.path.join(stage, "windows", "album")))
        self.assertIn("windows song.wav", urllib.parse.unquote(name))
        self.assert_plays(linux, "windows song.wav")
        # The Windows one plays the Linux one's song, downloaded from it.
        name = enqueue_from(windows, linux, os.path.join(stage, "linux", "album"))
        self.assertIn("linux song.wav", urllib.parse.unquote(name))
        self.assert_plays(windows, "linux song.wav")


if __name__ == "__main__":
    unittest.main(verbosity=2)
