#!/usr/bin/env python3
"""Installed players: a first start that builds the search index, two
players on one network that find each other, list each other in
"favorites.js" and play each other's music, and a player that comes back as
it was left.
   installed_players.py CMAKE BUILD_DIR
Inside tools/netns.sh only: the players' announcements are broadcast."""
import json, os, shutil, signal, subprocess, sys, tempfile, time
import unittest, urllib.parse, urllib.request

from player_support import InstalledPlayer, free_port, get, tone, wait_until

CMAKE, BUILD = sys.argv[1], sys.argv[2]


def libraries(port):
    """The libraries "favorites.js" lists, by key, asked as the browser client
    asks: with its session cookie, repeated in JSON_auth."""
    request = urllib.request.Request(f"http://127.0.0.1:{port}/favorites.js?callback=f&JSON_auth=s1",
                                     headers={"Cookie": "Tunelet=s1"})
    with urllib.request.urlopen(request, timeout=10) as answer:
        text = answer.read().decode()
    assert text.startswith("f(") and text.endswith(");"), text
    return json.loads(text[2:-2])


class Player(InstalledPlayer):
    def __init__(self, stage, name, music):
        super().__init__(CMAKE, BUILD, stage, name, music)


def url_encode(text):
    """The server's own encoding: letters and digits kept, every other byte %xx."""
    return "".join(chr(b) if chr(b).isascii() and chr(b).isalnum() else "%%%02x" % b
                   for b in text.encode())


def key_of(port, listing):
    """The key under which a listing holds the library on `port`."""
    return next((key for key in listing if key.endswith(f":{port}/")), None)


class TwoPlayers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.stage = tempfile.mkdtemp(prefix="tunelet-peers.")
        music_a = os.path.join(cls.stage, "music-a")
        music_b = os.path.join(cls.stage, "music-b", "album one")
        os.makedirs(music_a)
        os.makedirs(music_b)
        tone(os.path.join(music_a, "own.wav"), 2)
        for name in ("first", "second"):  # tagged, as ffmpeg writes WAV tags
            subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                            "sine=frequency=440:duration=2", "-metadata", "artist=Peer Artist",
                            "-metadata", f"title={name} song", os.path.join(music_b, name + ".wav")], check=True)
        cls.a = Player(cls.stage, "a", music_a)
        cls.b = Player(cls.stage, "b", os.path.dirname(music_b))
        cls.album = music_b
        cls.a.start(free_port())

    @classmethod
    def tearDownClass(cls):
        cls.a.stop()
        cls.b.stop()
        shutil.rmtree(cls.stage, True)

    def tearDown(self):
        self.b.stop()

    def test_peers_list_each_other_and_leave(self):
        a, b = self.a, self.b
        b.start(free_port())
        # Announcements go out every 3 s: each lists the other, never itself.
        self.assertTrue(wait_until(lambda: key_of(b.port, libraries(a.port)), 10), libraries(a.port))
        self.assertTrue(wait_until(lambda: key_of(a.port, libraries(b.port)), 10), libraries(b.port))
        listing = libraries(a.port)
        self.assertIsNone(key_of(a.port, listing))
        self.assertEqual(listing["/"], {"name": "Local Library", "host": ""})
        peer = listing[key_of(b.port, listing)]
        self.assertEqual(peer["host"] + "/", key_of(b.port, listing))
        self.assertTrue(peer["name"].endswith(f":{b.port}"), peer)
        # The library the browser would browse answers at that host.
        with urllib.request.urlopen(f"http://{peer['host']}/library.js?callback=g", timeout=10) as answer:
            self.assertIn(url_encode(os.path.dirname(self.album)), answer.read().decode())

        # A player that quits says so: gone at once.
        b.stop()
        self.assertTrue(wait_until(lambda: key_of(b.port, libraries(a.port)) is None, 3))

        # A player that dies silently expires; one started again (a new
        # identifier, another port) is listed anew.
        b.start(free_port())
        self.assertTrue(wait_until(lambda: key_of(b.port, libraries(a.port)), 10))
        b.stop(signal.SIGKILL)
        self.assertTrue(wait_until(lambda: key_of(b.port, libraries(a.port)) is None, 25))
        old = b.port
        b.start(free_port())
        self.assertTrue(wait_until(lambda: key_of(b.port, libraries(a.port)), 10))
        self.assertIsNone(key_of(old, libraries(a.port)))

    def test_a_peer_folder_plays_in_the_local_player(self):
        a, b = self.a, self.b
        b.start(free_port())
        get(a.port, "clearplaylist")
        # Only a peer it has heard (or a place saved) is asked for a stream.
        self.assertTrue(wait_until(lambda: key_of(b.port, libraries(a.port)), 10), libraries(a.port))
        unheard = f"http://127.0.0.1:{b.port}/stream?path=" + urllib.parse.quote(self.album, safe="")
        get(a.port, "enqueuefile?filename=" + urllib.parse.quote(unheard, safe=""))
        self.assertEqual(get(a.port, "getplaylistlength"), "0")
        host = key_of(b.port, libraries(a.port))[:-1]
        stream = f"http://{host}/stream?path=" + urllib.parse.quote(self.album, safe="")
        get(a.port, "enqueuefile?filename=" + urllib.parse.quote(stream, safe=""))
        # The peer's stream playlist became its download URLs, in path order.
        self.assertEqual(get(a.port, "getplaylistlength"), "2")
        names = [get(a.port, f"getplaylistfilename?index={i}") for i in range(2)]
        for name, song in zip(names, ("first.wav", "second.wav")):
            self.assertTrue(name.startswith(f"http://{host}/download?path="), name)
            self.assertTrue(urllib.parse.unquote(name).split("&")[0].endswith(song), name)
        # A download URL is enqueued as it stands.
        get(a.port, "enqueuefile?filename=" + urllib.parse.quote(names[1], safe=""))
        self.assertEqual(get(a.port, "getplaylistfilename?index=2"), names[1])
        # Played for real from the peer.
        get(a.port, "setplaylistpos?index=0")
        get(a.port, "play")
        self.assertTrue(wait_until(lambda: float(get(a.port, "getposition") or 0) > 0, 20))
        self.assertTrue(wait_until(lambda: get(a.port, "getplaylistpos") == "1", 20))
        get(a.port, "pause")
        # Once played, a peer's track shows its tags and length as a local file does.
        console = lambda: get(a.port, "consolestatus.xml")
        self.assertTrue(wait_until(lambda: "<artist><![CDATA[Peer Artist]]></artist>" in console(), 10), console())
        for shown in ("<title><![CDATA[second song]]></title>", "<length><![CDATA[0:02]]></length>",
                      "<lengthms>2000</lengthms>"):
            self.assertIn(shown, console())
        self.assertEqual(get(a.port, "getplaylisttitle?index=0"), "Peer Artist - first song")
        get(a.port, "stop")


class FirstStart(unittest.TestCase):
    def test_a_start_that_needs_the_index_builds_it_and_answers_searches(self):
        stage = tempfile.mkdtemp(prefix="tunelet-index.")
        self.addCleanup(shutil.rmtree, stage, True)
        music = os.path.join(stage, "music")
        os.makedirs(os.path.join(music, "Blue Album"))
        tone(os.path.join(music, "Blue Album", "Ocean Song.wav"), 1)
        tone(os.path.join(music, "Björk - Jóga.wav"), 1)
        player = Player(stage, "p", music)
        self.addCleanup(player.stop)
        player.start(free_port(), "NeedsIndex=1\n")

        def hits(query):
            body = get(player.port, "library.js?path=" + urllib.parse.quote("search://" + query, safe=""))
            return body.count('","path" : "')  # entries only, not the ".." one

        def found_while_building(query):
            # While the first index is built (slowly, under the thread
            # checker) a search may be cut off at the request time-limit:
            # asked again, as a user would.
            try:
                return hits(query) == 1
            except (ConnectionError, TimeoutError):
                return False
        # The headless host answers the start-up question with its default: rebuild.
        self.assertTrue(wait_until(lambda: found_while_building("ocean"), 60), open(player.log).read())
        self.assertEqual((hits("blue"), hits("song"), hits("blue song")), (1, 1, 0))  # names, all terms
        self.assertEqual(hits("jóga"), 1)
        self.assertEqual(get(player.port, "library.js?path=" + urllib.parse.quote("searchf://blue", safe="")).count(
            "%24DIR%24"), 1)
        self.assertTrue(wait_until(lambda: "NeedsIndex=0" in open(player.ini()).read(), 30))
        # A search enqueues and streams as its hits.
        song = os.path.join(music, "Blue Album", "Ocean Song.wav")
        get(player.port, "enqueuefile?filename=" + urllib.parse.quote("search://ocean", safe=""))
        self.assertEqual(get(player.port, "getplaylistlength"), "1")
        self.assertEqual(get(player.port, "getplaylistfilename?index=0"), song)
        m3u = get(player.port, "stream?path=" + urllib.parse.quote("search://ocean song", safe=""))
        self.assertEqual(m3u.count("/download?path="), 1, m3u)
        self.assertIn("/download?path=" + url_encode(song) + "&auth=", m3u)


class Restart(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.stage = tempfile.mkdtemp(prefix="tunelet-restart.")
        music = os.path.join(cls.stage, "music")
        os.makedirs(music)
        cls.songs = [os.path.join(music, name + ".wav") for name in ("one", "two")]
        for song in cls.songs:
            tone(song, 8)
        cls.player = Player(cls.stage, "p", music)
        cls.saved = os.path.join(cls.player.dist, "tunelet-player.m3u")

    @classmethod
    def tearDownClass(cls):
        cls.player.stop()
        shutil.rmtree(cls.stage, True)

    def start(self):
        """Starts the player; its log lines about the saved state."""
        before = os.path.getsize(self.player.log) if os.path.exists(self.player.log) else 0
        self.player.start(free_port())
        with open(self.player.log, errors="replace") as log:
            log.seek(before)
            return [line for line in log if "tunelet-player.m3u" in line]

    def test_a_restart_keeps_the_list_the_entry_the_position_and_the_settings(self):
        p = self.player
        url = "http://127.0.0.1:9/download?path=%2fpeer%2fsong.wav"
        # Each quit leaves other values than the one before, so that a kill
        # that saved nothing would be seen. A kill comes once the player's
        # own periodic save holds the last change.
        def saved_holds(files, index, volume, shuffle, repeat):
            try:
                with open(self.saved, errors="replace") as state:
                    text = state.read()
            except OSError:
                return False
            return (f"entries={len(files)} current={index} " in text and
                    f" volume={volume} shuffle={int(shuffle == 'on')} repeat={int(repeat == 'on')} transport=paused"
                    in text)

        for how, files, index, fraction, volume, shuffle, repeat in (
                (signal.SIGTERM, [*self.songs, url], 1, 0.5, 77, "on", "off"),
                (signal.SIGKILL, [url, self.songs[1]], 1, 0.25, 120, "off", "on")):
            with self.subTest(how=how):
                self.start()
                get(p.port, "clearplaylist")
                for name in files:
                    get(p.port, "enqueuefile?filename=" + urllib.parse.quote(name, safe=""))
                get(p.port, f"setplaylistpos?index={index}")
                get(p.port, "play")
                self.assertTrue(wait_until(lambda: float(get(p.port, "getposition") or 0) > 0, 20))
                get(p.port, "pause")
                get(p.port, f"setposition?pos={fraction}")
                for route in (f"setvolume?level={volume}", f"setshuffle?setting={shuffle}",
                              f"setrepeat?setting={repeat}"):
                    get(p.port, route)
                titles = [get(p.port, f"getplaylisttitle?index={i}") for i in range(len(files))]
                if how == signal.SIGKILL:
                    self.assertTrue(wait_until(lambda: saved_holds(files, index, volume, shuffle, repeat), 60))
                p.stop(how)

                self.assertEqual(self.start(), [])
                self.assertEqual([get(p.port, f"getplaylistfilename?index={i}") for i in range(len(files))], files)
                self.assertEqual([get(p.port, f"getplaylisttitle?index={i}") for i in range(len(files))], titles)
                self.assertEqual(get(p.port, "getplaylistlength"), str(len(files)))
                self.assertEqual([get(p.port, route) for route in ("getplaylistpos", "getvolume", "getshuffle",
                                                                    "getrepeat")],
                                 [str(index), str(volume), str(int(shuffle == "on")), str(int(repeat == "on"))])
                # Paused where it was (within a second of an 8 s song), not playing.
                position = float(get(p.port, "getposition"))
                self.assertAlmostEqual(position, fraction, delta=1 / 8)
                time.sleep(1)
                self.assertEqual(float(get(p.port, "getposition")), position)
                p.stop()

    def test_a_missing_or_damaged_state_gives_an_empty_player_and_one_line(self):
        p = self.player
        whole = "#EXTM3U\n#EXTINF:8,One\n" + self.songs[0] + "\n#TUNELET-PLAYER:entries=1 current=0 " \
            "position=0 volume=9 shuffle=0 repeat=0 transport=stopped\n"
        for name, content in (("missing", None), ("truncated", whole[:-20]), ("garbage", bytes(range(256)) * 64),
                              ("100,000 lines", "#EXTM3U\n" + "#EXTINF:8,One\n/m/one.wav\n" * 50000)):
            with self.subTest(name):
                if content is None:
                    if os.path.exists(self.saved):
                        os.remove(self.saved)
                else:
                    with open(self.saved, "wb") as out:
                        out.write(content if isinstance(content, bytes) else content.encode())
                lines = self.start()
                self.assertEqual(get(p.port, "getplaylistlength"), "0")
                self.assertEqual(len(lines), 1, lines)
                p.stop()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
