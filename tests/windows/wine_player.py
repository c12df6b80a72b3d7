#!/usr/bin/env python3
"""The Windows host with the plug-in, run under Wine: the same black-box
checks the Linux build answers, on Windows paths ("Z:\\..." for the Linux
root), and the settings file written with "\\" paths and read back byte for
byte.
   wine_player.py DIST      (DIST: tunelet-player.exe and Plugins/gen_Tunelet.dll)
Inside tools/netns.sh only, with WINEPREFIX set (tools/check-windows.sh)."""
import os, shutil, subprocess, sys, tempfile, unittest, urllib.error, urllib.parse, urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from player_support import free_port, get, tone, wait_until  # noqa: E402

DIST = os.path.abspath(sys.argv.pop(1))


def windows_path(path):
    """The path as the Windows program sees it: Wine maps "/" to drive Z."""
    return "Z:" + path.replace("/", "\\")


def url_encode(text):
    """The server's own encoding: letters and digits kept, every other byte %xx."""
    return "".join(chr(b) if chr(b).isascii() and chr(b).isalnum() else "%%%02x" % b
                   for b in text.encode())


class WinePlayer:
    """A copy of DIST in STAGE/NAME, sharing MUSIC, started under Wine on a
    port and closed as Windows closes a program: WM_CLOSE to its window."""
    def __init__(self, stage, name, music):
        self.dist = os.path.join(stage, name)
        shutil.copytree(DIST, self.dist)
        self.music = music
        self.log = os.path.join(stage, name + ".log")
        self.process = None

    def ini(self):
        return os.path.join(self.dist, "Plugins", "gen_Tunelet.ini")

    def start(self, port, extra="", write_ini=True):
        self.port = port
        if write_ini:
            with open(self.ini(), "w", newline="") as ini:
                ini.write(f"[Tunelet Remote Control Plugin v1.0]\r\nlistenPort={port}\r\n"
                          f"Shared Dirs={windows_path(self.music)};\r\n{extra}")
        with open(self.log, "a") as log:
            self.process = subprocess.Popen(["wine", os.path.join(self.dist, "tunelet-player.exe"), "--headless"],
                                            stdout=log, stderr=subprocess.STDOUT)

        def reachable():
            try:
                return get(port, "getvolume") != ""
            except urllib.error.HTTPError:
                return True  # a login is asked for: it answers
            except OSError:
                return False
        assert wait_until(reachable, 120), open(self.log).read()

    def stop(self):
        if self.process and self.process.poll() is None:
            subprocess.run(["wine", "taskkill", "/im", "tunelet-player.exe"], capture_output=True)
            status = self.process.wait(60)
            assert status == 0, open(self.log).read()
        self.process = None


class WindowsHost(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.stage = tempfile.mkdtemp(prefix="tunelet-wine.")
        cls.music = os.path.join(cls.stage, "music")
        os.makedirs(os.path.join(cls.music, "Blue Album"))
        cls.song = os.path.join(cls.music, "Blue Album", "Ocean Song.wav")
        tone(cls.song, 4)
        cls.player = WinePlayer(cls.stage, "w", cls.music)
        cls.player.start(free_port(), "NeedsIndex=1\r\n")

    @classmethod
    def tearDownClass(cls):
        cls.player.stop()
        shutil.rmtree(cls.stage, True)

    def test_client_status_and_commands(self):
        port = self.player.port
        self.assertIn("<html", get(port, "").lower())
        get(port, "clearplaylist")
        get(port, "enqueuefile?filename=" + urllib.parse.quote(windows_path(self.song), safe=""))
        self.assertEqual(get(port, "getplaylistlength"), "1")
        self.assertEqual(get(port, "getplaylistfilename?index=0"), windows_path(self.song))
        get(port, "setvolume?level=100")
        self.assertEqual(get(port, "getvolume"), "100")
        get(port, "setplaylistpos?index=0")
        self.assertEqual(get(port, "getplaylistpos"), "0")
        status = get(port, "consolestatus.xml")
        self.assertIn(f"<filename><![CDATA[{windows_path(self.song)}]]></filename>", status)
        self.assertIn("<title><![CDATA[Ocean Song.wav]]></title>", status)  # named from the file
        self.assertIn("<lengthms>4000</lengthms>", status)  # from the file's tags, as on Linux

    def test_library_download_with_a_range_and_search(self):
        port = self.player.port
        listing = get(port, "library.js?callback=g")
        self.assertIn(url_encode(windows_path(self.music)), listing)
        # The first index is built at the first start; a search then finds the song.
        def hits():
            try:
                body = get(port, "library.js?path=" + urllib.parse.quote("search://ocean", safe=""))
            except (ConnectionError, TimeoutError):
                return 0
            return body.count('","path" : "')
        self.assertTrue(wait_until(lambda: hits() == 1, 120), open(self.player.log).read())
        m3u = get(port, "stream?path=" + urllib.parse.quote("search://ocean", safe=""))
        url = next(line for line in m3u.splitlines() if "/download?path=" in line)
        self.assertIn("/download?path=" + url_encode(windows_path(self.song)), url)
        request = urllib.request.Request(url, headers={"Range": "bytes=4-11"})
        with urllib.request.urlopen(request, timeout=10) as answer:
            self.assertEqual(answer.status, 206)
            with open(self.song, "rb") as song:
                self.assertEqual(answer.read(), song.read()[4:12])

    def test_settings_file_written_and_read_back_byte_for_byte(self):
        # Left to the last: it restarts the player.
        player = self.player
        player.stop()
        with open(player.ini(), "rb") as ini:
            written = ini.read()
        self.assertIn(b"Shared Dirs=" + windows_path(self.music).encode() + b";", written)
        player.start(player.port, write_ini=False)
        player.stop()
        with open(player.ini(), "rb") as ini:
            self.assertEqual(ini.read(), written)
        player.start(player.port, write_ini=False)


class WindowsLogin(unittest.TestCase):
    def test_digest_login_lets_in_only_the_right_password(self):
        stage = tempfile.mkdtemp(prefix="tunelet-wine-login.")
        self.addCleanup(shutil.rmtree, stage, True)
        os.makedirs(os.path.join(stage, "music"))
        player = WinePlayer(stage, "w", os.path.join(stage, "music"))
        self.addCleanup(player.stop)
        player.start(free_port(), "requirePassword=1\r\nusername=tune\r\npassword=let me in\r\n")
        url = f"http://127.0.0.1:{player.port}/getvolume"

        def answer(password):
            passwords = urllib.request.HTTPPasswordMgrWithDefaultRealm()
            passwords.add_password(None, url, "tune", password)
            opener = urllib.request.build_opener(urllib.request.HTTPDigestAuthHandler(passwords))
            try:
                with opener.open(url, timeout=10) as reply:
                    return reply.status
            except urllib.error.HTTPError as error:
                return error.code
        self.assertEqual(answer("let me in"), 200)
        self.assertEqual(answer("wrong"), 401)
        with self.assertRaises(urllib.error.HTTPError) as asked:
            get(player.port, "getvolume")
        self.assertEqual(asked.exception.code, 401)
        self.assertIn("Digest", asked.exception.headers.get("WWW-Authenticate", ""))


if __name__ == "__main__":
    unittest.main(verbosity=2)
