#!/usr/bin/env python3
"""./run.sh end to end, and the installed player playing real audio (mpv's
null output) under the HTTP commands, reached through run.sh's forwarder.
Then the first-run sharing with and without a music folder.
   run_end_to_end.py SOURCE_DIR BUILD_DIR
Inside tools/netns.sh only: run.sh makes a namespace of its own within it."""
import os, re, shutil, signal, subprocess, sys, tempfile
import unittest, urllib.parse, urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from player_support import DISPLAY_VARIABLES, free_port, tone, wait_until  # noqa: E402

SOURCE, BUILD = sys.argv[1], sys.argv[2]


def read(path):
    with open(path) as f:
        return f.read()


def processes_mentioning(text):
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if text.encode() in f.read():
                    found.append(pid)
        except OSError:
            pass
    return found


class RunScript(unittest.TestCase):
    def setUp(self):
        self.stage = tempfile.mkdtemp(prefix="tunelet-run-test.")
        self.addCleanup(shutil.rmtree, self.stage, True)

    def start(self, dist, **env):
        environment = dict(os.environ, TUNELET_DIST=dist, TUNELET_BUILD_DIR=BUILD, TMPDIR=self.stage, **env)
        for name in DISPLAY_VARIABLES:  # headless, whatever desktop runs the tests
            environment.pop(name, None)
        log = open(os.path.join(self.stage, "run.log"), "w+")
        self.addCleanup(log.close)
        # As from a terminal: a process group of its own with SIGINT at its default.
        script = subprocess.Popen([os.path.join(SOURCE, "run.sh")], env=environment, stdout=log,
                                  stderr=subprocess.STDOUT, start_new_session=True,
                                  preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        return script, log

    def test_forwarded_player_plays_real_audio_and_ctrl_c_ends_everything(self):
        music = os.path.join(self.stage, "music")
        os.makedirs(music)
        for name in ("a", "b", "c"):
            tone(os.path.join(music, name + ".wav"), 3)
        dist = os.path.join(self.stage, "dist")
        os.makedirs(os.path.join(dist, "Plugins"))
        port = free_port()
        with open(os.path.join(dist, "Plugins", "gen_Tunelet.ini"), "w") as ini:
            ini.write(f"[Tunelet Remote Control Plugin v1.0]\nlistenPort={port}\nShared Dirs={music};\n")
        script, log = self.start(dist, TUNELET_AUDIO="null")
        try:
            def get(route):
                with urllib.request.urlopen(f"http://127.0.0.1:{port}/{route}", timeout=10) as answer:
                    return answer.read().decode()

            def reachable():
                try:
                    return get("getplaylistlength") is not None
                except OSError:
                    return False

            self.assertTrue(wait_until(reachable, 120), read(log.name))
            # The player answers from its own namespace, not this one.
            self.assertNotEqual(os.readlink("/proc/self/ns/net"),
                                os.readlink(f"/proc/{self.player_pid(dist)}/ns/net"))
            # The plug-in never links the audio library; the player does.
            needed = lambda f: subprocess.run(["readelf", "-d", f], capture_output=True, text=True).stdout
            self.assertNotIn("libmpv", needed(os.path.join(dist, "Plugins", "gen_Tunelet.so")))
            self.assertIn("libmpv", needed(os.path.join(dist, "tunelet-player")))

            # The shared folder listed in reverse name order, and its stream
            # played through by mpv, every entry fetched through the forwarder.
            quoted = urllib.parse.quote(music, safe="")
            listing = get(f"library.js?path={quoted}&sortby=0&sortdir=1")
            self.assertEqual(re.findall(r'"name" : "([^"]*)"', listing), ["..", "c%2ewav", "b%2ewav", "a%2ewav"])
            played = subprocess.run(["mpv", "--ao=null", "--no-video", "--no-config", "--end=0.5",
                                     f"http://127.0.0.1:{port}/stream?path={quoted}"],
                                    capture_output=True, text=True, timeout=60)
            self.assertEqual(played.returncode, 0, played.stdout + played.stderr)
            self.assertEqual(played.stdout.count("/download?path="), 3, played.stdout)

            get(f"enqueuefile?filename={music}")
            self.assertEqual(get("getplaylistlength"), "3")
            get("play")
            self.assertEqual(get("getplaylistpos"), "0")
            first = wait_until(lambda: float(get("getposition") or 0) > 0 and float(get("getposition")))
            self.assertTrue(first)
            self.assertTrue(wait_until(lambda: float(get("getposition")) > first))
            console = get("consolestatus.xml")
            self.assertIn("<lengthms>3000</lengthms>", console)
            self.assertIn("a.wav", console)
            self.assertGreater(float(re.search(r"<position>([^<]*)</position>", console).group(1)), 0)

            get("setposition?pos=1.5")  # past the end: the next entry starts
            self.assertTrue(wait_until(lambda: get("getplaylistpos") == "1"))
            get("setplaylistpos?index=2")
            get("play")
            self.assertEqual(get("getplaylistpos"), "2")
            get("next")  # at the last entry: round to the first
            self.assertEqual(get("getplaylistpos"), "0")
            # Played through to the end of the list: stopped on the last entry.
            self.assertTrue(wait_until(lambda: "<position>0</position>" in get("consolestatus.xml")
                                       and get("getplaylistpos") == "2", 30))
        finally:
            os.killpg(script.pid, signal.SIGINT)  # Ctrl-C
            try:
                status = script.wait(60)
            except subprocess.TimeoutExpired:
                os.killpg(script.pid, signal.SIGKILL)
                raise
        self.assertEqual(status, 0, read(log.name))
        self.assertIn(f"http://127.0.0.1:{port}/", read(log.name))
        self.assertEqual(wait_until(lambda: not processes_mentioning(self.stage), 30) or
                         processes_mentioning(self.stage), True)

    def player_pid(self, dist):
        program = os.path.join(dist, "tunelet-player")
        return next(p for p in processes_mentioning(program)
                    if os.readlink(f"/proc/{p}/exe").endswith("tunelet-player"))


class FirstRun(unittest.TestCase):
    def first_run(self, home):
        dist = os.path.join(home, "dist")
        os.makedirs(dist, exist_ok=True)
        env = dict(os.environ, HOME=home)
        out = subprocess.run([os.path.join(SOURCE, "tools", "first-run.sh"), dist], env=env,
                             capture_output=True, text=True, check=True).stdout
        with open(os.path.join(dist, "Plugins", "gen_Tunelet.ini")) as ini:
            return out, ini.read(), dist

    def test_the_music_folder_is_shared_when_it_holds_files(self):
        with tempfile.TemporaryDirectory() as home:
            os.makedirs(os.path.join(home, "Music", "album"))
            tone(os.path.join(home, "Music", "album", "x.wav"), 1)
            out, ini, _ = self.first_run(home)
            self.assertIn(f"Shared Dirs={home}/Music;\n", ini)
            self.assertIn("NeedsIndex=1\n", ini)
            self.assertIn(f"{home}/Music", out)
            self.assertIn("gen_Tunelet.ini", out)
            # A second run keeps the settings as they are.
            out, again, _ = self.first_run(home)
            self.assertEqual((out, again), ("", ini))

    def test_without_music_a_tagged_sample_library_is_made_and_shared(self):
        with tempfile.TemporaryDirectory() as home:
            os.makedirs(os.path.join(home, "Music"))  # there, but empty
            out, ini, dist = self.first_run(home)
            samples = os.path.join(dist, "Sample Music")
            self.assertIn(f"Shared Dirs={samples};\n", ini)
            self.assertIn("sample library", out)
            tracks = [os.path.join(d, f) for d, _, files in os.walk(samples) for f in files]
            self.assertGreaterEqual(len(tracks), 5)
            self.assertGreaterEqual(len({os.path.dirname(t) for t in tracks}), 2)
            for track in tracks:
                probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration:format_tags:stream_tags",
                                        "-of", "default=nw=1", track], capture_output=True, text=True).stdout
                self.assertRegex(probe, r"(?i)TAG:title=\S", track)
                self.assertRegex(probe, r"(?i)TAG:artist=\S", track)
                self.assertGreater(float(re.search(r"duration=([\d.]+)", probe).group(1)), 5, track)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
