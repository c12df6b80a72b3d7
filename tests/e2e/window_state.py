#!/usr/bin/env python3
"""The player's window read from its picture on the X display in DISPLAY, for
the browser tests: how many playlist rows, which is current and in what
transport state, the volume slider's value, the shuffle box; and clicks into
the window.
Answers one JSON line per command line on its standard input:
   find            -> {"found": true}      once the window shows (30 s)
   state           -> {"row": 1, "state": "playing", "volume": 77, "shuffle": true, "entries": 5,
                       "at": MS}
   click X Y       -> {"at": MS}           (MS: the Unix time in milliseconds)
The geometry is that of the window as it opens at its own size (480 x 420)
with Qt's Fusion style under Xvfb."""
import json, sys, time

from player_support import wait_until
from x11_window import Display

LIST_TOP, ROW_HEIGHT = 126, 18                # the playlist's first row and row pitch
ICON = range(14, 29)                          # the current row's state icon, across
VOLUME_ROW, VOLUME_FROM, VOLUME_TO = 108, 55, 330
SHUFFLE_BOX = (range(333, 342), range(104, 113))


def is_highlight(p):
    return p[2] > 150 and p[0] < 90 and 110 < p[1] < 170


def is_dark(p):
    return max(p) < 100


def read(picture):
    (width, height), rows = picture
    stride = width * 3 + 1

    def pixel(x, y):
        i = y * stride + 1 + x * 3
        return rows[i], rows[i + 1], rows[i + 2]
    marked = [y for y in range(LIST_TOP, height - 10) if is_highlight(pixel(200, y))]
    row = (marked[0] - LIST_TOP) // ROW_HEIGHT if marked else -1
    state = "none"
    if marked:
        # Stop is a full square, pause two bars with a gap between, play a
        # triangle (its left side taller than its right).
        mid = (marked[0] + marked[-1]) // 2
        columns = [sum(is_dark(pixel(x, y)) for y in range(mid - 8, mid + 9)) for x in ICON]
        lit = [i for i, c in enumerate(columns) if c]
        if lit:
            inside = columns[lit[0]:lit[-1] + 1]
            state = ("paused" if 0 in inside else "playing" if inside[0] - inside[-1] > 4 else "stopped")
    fill = sum(is_highlight(pixel(x, VOLUME_ROW)) for x in range(VOLUME_FROM, VOLUME_TO))
    xs, ys = SHUFFLE_BOX
    ticked = sum(is_dark(pixel(x, y)) for x in xs for y in ys) > 6
    # A row shows its number and title from the left.
    entries = 0
    while LIST_TOP + (entries + 1) * ROW_HEIGHT < height - 10 and any(
            is_dark(pixel(x, y)) or is_highlight(pixel(x, y))
            for y in range(LIST_TOP + entries * ROW_HEIGHT + 4, LIST_TOP + (entries + 1) * ROW_HEIGHT - 4)
            for x in range(32, 60)):
        entries += 1
    # The groove fills 247 pixels at the top volume (255).
    return {"row": row, "state": state, "volume": round(fill * 255 / 247), "shuffle": ticked, "entries": entries}


def main():
    display = Display()
    window = None
    for line in sys.stdin:
        words = line.split()
        if words[0] == "find":
            window = wait_until(lambda: display.find("Tunelet Player"), 30)
            answer = {"found": bool(window)}
        elif words[0] == "state":
            answer = read(display.picture(window))
        else:
            display.click(window, int(words[1]), int(words[2]))
            answer = {}
        answer["at"] = int(time.time() * 1000)
        print(json.dumps(answer), flush=True)


if __name__ == "__main__":
    main()
