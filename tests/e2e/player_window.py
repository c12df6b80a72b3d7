#!/usr/bin/env python3
"""The installed player with its window on an X display (run under xvfb-run):
the window shows, HTTP commands are answered while it is up, its picture is
saved, and a close by the window manager or SIGTERM ends the player cleanly.
Its menu opens the plug-in's preferences, whose pages are pictured in turn
while the player keeps answering; their close by the window manager saves.
   player_window.py CMAKE BUILD_DIR SHOTS_DIR"""
import os, shutil, sys, tempfile, unittest, urllib.parse

from player_support import InstalledPlayer, free_port, get, tone, wait_until
from x11_window import Display, save_png

CMAKE, BUILD, SHOTS = sys.argv[1], sys.argv[2], sys.argv[3]


def read(path):
    with open(path) as f:
        return f.read()


def picture_after(display, window, previous, timeout=30):
    """The window's first picture that differs from `previous` (None when it
    did not change within `timeout` seconds)."""
    def changed():
        now = display.picture(window)
        return now if now != previous else None
    return wait_until(changed, timeout)


def settled_picture(display, window, timeout=30):
    """The window's picture once it is drawn: two in a row alike, with more
    than a few colour values (a window not drawn yet is of one colour)."""
    last = [None]

    def settled():
        now = display.picture(window)
        done = now == last[0] and len(set(now[1])) > 8
        last[0] = now
        return now if done else None
    return wait_until(settled, timeout)


class PlayerWindow(unittest.TestCase):
    def setUp(self):
        self.stage = tempfile.mkdtemp(prefix="tunelet-window.")
        self.addCleanup(shutil.rmtree, self.stage, True)
        music = os.path.join(self.stage, "music")
        os.makedirs(music)
        self.songs = [os.path.join(music, name + ".wav") for name in ("Morning", "Evening")]
        for song in self.songs:
            tone(song, 30)
        self.player = InstalledPlayer(CMAKE, BUILD, self.stage, "p", music)
        self.addCleanup(self.player.stop)
        self.display = Display()
        self.addCleanup(self.display.close)
        os.makedirs(SHOTS, exist_ok=True)

    def test_window_shows_answers_commands_and_closes_cleanly(self):
        player, display = self.player, self.display
        player.start(free_port(), window=True)
        window = wait_until(lambda: display.find("Tunelet Player"), 30)
        self.assertTrue(window, [name for _, name in display.windows()])

        for song in self.songs:
            get(player.port, "enqueuefile?filename=" + urllib.parse.quote(song, safe=""))
        self.assertEqual(get(player.port, "getplaylistlength"), "2")
        get(player.port, "setplaylistpos?index=1")
        get(player.port, "play")
        self.assertTrue(wait_until(lambda: float(get(player.port, "getposition") or 0) > 0, 20))
        get(player.port, "setvolume?level=160")
        self.assertEqual(get(player.port, "getvolume"), "160")
        # The window follows on its timer (the clock of the playing entry
        # moves): a picture that differs from this one shows the new state.
        shown = picture_after(display, window, display.picture(window))
        self.assertTrue(shown)
        save_png(shown, os.path.join(SHOTS, "player-window.png"))

        display.request_close(window)
        self.assertEqual(player.process.wait(30), 0, read(player.log))
        player.process = None
        self.assertIsNone(display.find("Tunelet Player"))

        # SIGTERM ends a player with its window just as cleanly.
        player.start(free_port(), window=True)
        self.assertTrue(wait_until(lambda: display.find("Tunelet Player"), 30))
        player.stop()

    def test_menu_item_opens_the_preferences_while_commands_are_answered(self):
        player, display = self.player, self.display
        player.start(free_port(), window=True)
        window = wait_until(lambda: display.find("Tunelet Player"), 30)
        self.assertTrue(window)
        before = read(player.ini())
        # The Player menu, then its second item (the plug-in puts it there).
        display.click(window, 25, 9)
        for key in ("Down", "Down", "Return"):
            display.key(key)
        dialog = wait_until(lambda: display.find("Tunelet Configuration"), 30)
        self.assertTrue(dialog, [name for _, name in display.windows()])
        self.assertEqual(get(player.port, "getvolume"), "255")  # the player answers under the modal dialog

        # Each page in turn: a click on the first of the page list, then down
        # to the last, then back to the first.
        shown = settled_picture(display, dialog)
        self.assertTrue(shown)
        display.click(dialog, 30, 22)
        for page, key in (("security", "Down"), ("activity", "Down"), ("library", "Down"), ("about", "Down"),
                          ("server", "Home")):
            display.key(key)
            shown = picture_after(display, dialog, shown)
            self.assertTrue(shown, page)
            save_png(shown, os.path.join(SHOTS, f"preferences-{page}.png"))

        # The window manager's close saves as OK does.
        display.request_close(dialog)
        self.assertTrue(wait_until(lambda: display.find("Tunelet Configuration") is None, 30))
        self.assertTrue(wait_until(lambda: read(player.ini()) != before, 30))
        self.assertIn("listenIP=", read(player.ini()))
        self.assertEqual(get(player.port, "getvolume"), "255")
        player.stop()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
