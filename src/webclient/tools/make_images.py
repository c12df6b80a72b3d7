#!/usr/bin/env python3
"""Draws every image of the browser client and writes it in its delivery format.

The pictures are drawn here, in code, so the whole look lives in one place: a
small anti-aliased shape renderer paints RGBA pixels and ImageMagick's
`convert` only encodes them (GIF, animated GIF, JPEG, ICO). The images it
writes are committed next to the pages, so a build never needs this script.

    python3 src/webclient/tools/make_images.py [output folder]

The output folder defaults to ../files beside this script; --icons writes only
the app icons (PNG, encoded here). The geometry here
(console face, button hot spots, light sockets, slider tracks) is the same
geometry that playlist.css positions its elements on; change both together.
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

# ---------------------------------------------------------------- palette
PAGE = (17, 19, 23)
FACE_TOP = (44, 49, 58)
FACE_BOT = (27, 30, 36)
BOX = (26, 29, 35)
TOOL = (34, 38, 46)
TITLE_TOP = (50, 56, 66)
TITLE_BOT = (36, 40, 48)
TITLE_HI = (72, 80, 94)
SHADOW = (18, 20, 24)
TEXT = (214, 220, 228)
MUTED = (128, 137, 150)
DISABLED = (78, 84, 96)
ACCENT = (61, 220, 151)
ACCENT_DEEP = (22, 104, 76)
ACCENT_INK = (10, 40, 30)
LCD = (9, 14, 12)
AMBER = (244, 184, 80)
AMBER_DEEP = (206, 140, 52)
RED = (232, 90, 90)
BLUE = (110, 180, 255)
BUTTON_TOP = (66, 73, 86)
BUTTON_BOT = (42, 47, 56)
PILL_TOP = (54, 60, 71)
PILL_BOT = (38, 42, 50)

CONSOLE_W, CONSOLE_H = 360, 158


def lerp(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def vgrad(top, bottom, y0, y1):
    """A paint that runs from top at row y0 to bottom at row y1."""
    return lambda x, y: lerp(top, bottom, (y - y0) / max(1e-9, y1 - y0))


def face_color(x, y):
    """The console face at console coordinates (x, y)."""
    return lerp(FACE_TOP, FACE_BOT, y / (CONSOLE_H - 1))


# ---------------------------------------------------------------- shapes
# A shape is (inside(x, y) -> bool, bounding box); x, y are real pixel
# coordinates where pixel (i, j) covers [i, i+1) x [j, j+1).

def rect(x0, y0, x1, y1):
    return (lambda x, y: x0 <= x < x1 and y0 <= y < y1), (x0, y0, x1, y1)


def rrect(x0, y0, x1, y1, r, corners="tl tr bl br"):
    """A rectangle whose named corners (t/b + l/r) are rounded with radius r."""
    names = corners.split()

    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        for name in names:
            cx = x0 + r if name[1] == "l" else x1 - r
            cy = y0 + r if name[0] == "t" else y1 - r
            beyond_x = x < cx if name[1] == "l" else x > cx
            beyond_y = y < cy if name[0] == "t" else y > cy
            if beyond_x and beyond_y and (x - cx) ** 2 + (y - cy) ** 2 > r * r:
                return False
        return True
    return inside, (x0, y0, x1, y1)


def circle(cx, cy, r):
    return (lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r), (cx - r, cy - r, cx + r, cy + r)


def ring(cx, cy, r0, r1):
    return (lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1), (cx - r1, cy - r1, cx + r1, cy + r1)


def poly(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]

    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside, (min(xs), min(ys), max(xs), max(ys))


def seg(ax, ay, bx, by, width):
    """A stroke of the given width from a to b with round caps."""
    h = width / 2.0
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx - x, ay + t * dy - y
        return px * px + py * py <= h * h
    return inside, (min(ax, bx) - h, min(ay, by) - h, max(ax, bx) + h, max(ay, by) + h)


def polyline(points, width):
    parts = [seg(*points[i], *points[i + 1], width) for i in range(len(points) - 1)]
    return union(*parts)


def union(*shapes):
    box = (min(s[1][0] for s in shapes), min(s[1][1] for s in shapes),
           max(s[1][2] for s in shapes), max(s[1][3] for s in shapes))
    return (lambda x, y: any(s[0](x, y) for s in shapes)), box


def minus(a, b):
    return (lambda x, y: a[0](x, y) and not b[0](x, y)), a[1]


def star(cx, cy, outer, inner, points=5):
    import math
    pts = []
    for i in range(points * 2):
        r = outer if i % 2 == 0 else inner
        a = -math.pi / 2 + i * math.pi / points
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return poly(pts)


# ---------------------------------------------------------------- canvas
class Canvas:
    SS = 4  # samples per pixel side for anti-aliasing

    def __init__(self, w, h, paint=None):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]
        if paint is not None:
            self.fill(rect(0, 0, w, h), paint)

    def blend(self, x, y, rgb, alpha):
        if not (0 <= x < self.w and 0 <= y < self.h) or alpha <= 0:
            return
        p = self.px[y * self.w + x]
        da = p[3]
        oa = alpha + da * (1 - alpha)
        for i in range(3):
            p[i] = (rgb[i] * alpha + p[i] * da * (1 - alpha)) / oa
        p[3] = oa

    def fill(self, shape, paint, alpha=1.0):
        inside, (bx0, by0, bx1, by1) = shape
        ss = self.SS
        for y in range(max(0, int(by0) - 1), min(self.h, int(by1) + 2)):
            for x in range(max(0, int(bx0) - 1), min(self.w, int(bx1) + 2)):
                hits = 0
                for j in range(ss):
                    for i in range(ss):
                        if inside(x + (i + 0.5) / ss, y + (j + 0.5) / ss):
                            hits += 1
                if hits:
                    rgb = paint(x, y) if callable(paint) else paint
                    self.blend(x, y, rgb, alpha * hits / (ss * ss))

    def dot(self, x, y, rgb, alpha=1.0):
        self.blend(x, y, rgb, alpha)

    def text(self, x, y, words, rgb, spacing=1):
        """Crisp 5x7 pixel lettering; returns the x after the last glyph."""
        for ch in words:
            glyph = FONT[ch]
            for row, bits in enumerate(glyph):
                for col, bit in enumerate(bits):
                    if bit == "#":
                        self.dot(x + col, y + row, rgb)
            x += len(glyph[0]) + spacing
        return x

    def flip(self):
        out = Canvas(self.w, self.h)
        for y in range(self.h):
            for x in range(self.w):
                out.px[y * self.w + x] = list(self.px[y * self.w + self.w - 1 - x])
        return out

    def rgba(self, matte):
        """Bytes for the encoder. Partly covered pixels are laid over the
        matte (the colour the image is shown on), so the 1-bit transparency
        of GIF keeps smooth edges; empty pixels stay transparent. A matte of
        None keeps the alpha as it is (ICO); OPAQUE flattens everything."""
        out = bytearray()
        for y in range(self.h):
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if matte is not None and a > 0.0:
                    m = matte(x, y) if callable(matte) else matte
                    r, g, b = (r * a + m[0] * (1 - a), g * a + m[1] * (1 - a), b * a + m[2] * (1 - a))
                    a = 1.0
                out += bytes((round(r), round(g), round(b), round(a * 255)))
        return bytes(out)


def text_width(words, spacing=1):
    return sum(len(FONT[c][0]) + spacing for c in words) - spacing


FONT = {
    " ": ["...", "...", "...", "...", "...", "...", "..."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": ["###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
}


# ---------------------------------------------------------------- encoders
def convert(args):
    subprocess.run(["convert"] + args, check=True)


def write_pam(path, canvas, matte):
    with open(path, "wb") as f:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                % (canvas.w, canvas.h))
        f.write(canvas.rgba(matte))


def opaque(canvas, background):
    """Flattens a canvas over its background for formats without alpha."""
    out = Canvas(canvas.w, canvas.h, background)
    for i, p in enumerate(canvas.px):
        if p[3] > 0:
            y, x = divmod(i, canvas.w)
            out.blend(x, y, p[:3], p[3])
    return out


class Writer:
    def __init__(self, folder):
        self.folder = folder
        self.tmp = tempfile.mkdtemp(prefix="tunelet-images-")
        self.count = 0

    def pam(self, canvas, matte):
        self.count += 1
        path = os.path.join(self.tmp, "f%03d.pam" % self.count)
        write_pam(path, canvas, matte)
        return path

    def gif(self, name, canvas, matte):
        convert([self.pam(canvas, matte), "+dither", "-strip", "gif:" + os.path.join(self.folder, name)])

    def animated_gif(self, name, frames, matte, delay):
        paths = [self.pam(f, matte) for f in frames]
        convert(["-delay", str(delay), "-loop", "0", "-dispose", "Background"] + paths
                + ["+dither", "-strip", "gif:" + os.path.join(self.folder, name)])

    def jpeg(self, name, canvas, background):
        flat = opaque(canvas, background)
        convert([self.pam(flat, None), "-strip", "-quality", "92", "-sampling-factor", "1x1",
                 "jpeg:" + os.path.join(self.folder, name)])

    def png(self, name, canvas):
        """PNG written here (zlib), with its alpha, so no encoder is needed."""
        raw = canvas.rgba(None)
        rows = b"".join(b"\0" + raw[y * canvas.w * 4:(y + 1) * canvas.w * 4] for y in range(canvas.h))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0))
                    + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))

    def ico(self, name, canvases):
        paths = [self.pam(c, None) for c in canvases]
        convert(paths + ["-strip", "ico:" + os.path.join(self.folder, name)])


# ---------------------------------------------------------------- console
# Console face layout (console coordinates), shared with playlist.css:
#   display  (10,10)-(350,68)   seek track (10,76) 340x10
#   buttons  (10,94) 340x34     volume track (40,136) 120x14
TRANSPORT_X = [0, 43, 86, 129, 172]
PILLS = {"SHUF": (222, 0), "REP": (282, 0), "PLAYLIST": (222, 19), "LIBRARY": (282, 19)}
PILL_W, PILL_H = 56, 15
STRIP_X, STRIP_Y = 10, 94


def interface_jpg():
    c = Canvas(CONSOLE_W, CONSOLE_H, face_color)
    c.fill(rect(0, 0, CONSOLE_W, 1), (70, 77, 90))
    # The recessed display: a dark glass with a faint scan pattern.
    c.fill(rrect(9, 9, 351, 69, 6), SHADOW)
    c.fill(rrect(10, 10, 350, 68, 5), LCD)
    for y in range(12, 67, 2):
        c.fill(rect(11, y, 349, y + 1), (12, 18, 15))
    c.fill(rrect(10, 68, 350, 69.2, 0.5), (58, 64, 76), 0.6)
    # Engraved labels.
    c.text(12, 140, "VOL", MUTED)
    right = CONSOLE_W - 12 - text_width("TUNELET")
    c.text(right + 1, 141, "TUNELET", SHADOW)
    c.text(right, 140, "TUNELET", (74, 82, 96))
    return c


def console_gif():
    c = Canvas(340, 34)
    for i, x in enumerate(TRANSPORT_X):
        c.fill(rrect(x, 0, x + 40, 34, 6), SHADOW)
        c.fill(rrect(x + 1, 1, x + 39, 33, 5), vgrad(BUTTON_TOP, BUTTON_BOT, 1, 33))
        c.fill(rect(x + 5, 1, x + 35, 2), (96, 104, 120), 0.8)
        cx, cy = x + 20, 17
        if i == 0:      # previous
            c.fill(rect(cx - 9, cy - 6, cx - 7, cy + 6), TEXT)
            c.fill(poly([(cx - 7, cy), (cx + 1, cy - 6), (cx + 1, cy + 6)]), TEXT)
            c.fill(poly([(cx + 1, cy), (cx + 9, cy - 6), (cx + 9, cy + 6)]), TEXT)
        elif i == 1:    # play
            c.fill(poly([(cx - 5, cy - 7), (cx - 5, cy + 7), (cx + 8, cy)]), ACCENT)
        elif i == 2:    # pause
            c.fill(rrect(cx - 6, cy - 6, cx - 2, cy + 6, 1), TEXT)
            c.fill(rrect(cx + 2, cy - 6, cx + 6, cy + 6, 1), TEXT)
        elif i == 3:    # stop
            c.fill(rrect(cx - 6, cy - 6, cx + 6, cy + 6, 1.5), TEXT)
        else:           # next
            c.fill(poly([(cx + 7, cy), (cx - 1, cy - 6), (cx - 1, cy + 6)]), TEXT)
            c.fill(poly([(cx - 1, cy), (cx - 9, cy - 6), (cx - 9, cy + 6)]), TEXT)
            c.fill(rect(cx + 7, cy - 6, cx + 9, cy + 6), TEXT)
    for label, (x, y) in PILLS.items():
        c.fill(rrect(x, y, x + PILL_W, y + PILL_H, 4), SHADOW)
        c.fill(rrect(x + 1, y + 1, x + PILL_W - 1, y + PILL_H - 1, 3), vgrad(PILL_TOP, PILL_BOT, y, y + PILL_H))
        if label in ("SHUF", "REP"):
            # The socket the light (waLightOn.gif, 8x8) sits on.
            c.fill(circle(x + 9, y + 7.5, 3.5), (14, 16, 19))
            c.text(x + 17, y + 4, label, MUTED)
        else:
            c.text(x + (PILL_W - text_width(label)) // 2, y + 4, label, MUTED)
    return c


def light_on_gif():
    c = Canvas(8, 8)
    c.fill(circle(4, 4, 3.9), ACCENT_DEEP)
    c.fill(circle(4, 4, 3.2), ACCENT)
    c.fill(circle(3.4, 3.4, 1.3), (200, 255, 228))
    return c


def seek_slider_gif():
    c = Canvas(340, 10)
    c.fill(rrect(0, 3, 340, 7, 2), (10, 12, 14))
    c.fill(rect(2, 7, 338, 8), (66, 73, 86), 0.7)
    for x in range(34, 340, 34):  # faint tenths
        c.fill(rect(x, 4, x + 1, 6), (40, 45, 54))
    return c


def seek_handle_gif():
    c = Canvas(14, 14)
    c.fill(circle(7, 7, 6.8), SHADOW)
    c.fill(circle(7, 7, 6.0), ACCENT)
    c.fill(circle(7, 7, 3.6), vgrad((250, 252, 255), (200, 206, 214), 3, 11))
    return c


def vol_slider_jpg():
    c = Canvas(120, 14)
    c.fill(poly([(0, 12), (120, 1), (120, 12)]), (12, 14, 17))
    c.fill(poly([(1, 11.5), (119, 2.5), (119, 11.5)]),
           lambda x, y: lerp(ACCENT_DEEP, ACCENT, x / 119))
    for x in range(12, 120, 12):  # notches every tenth
        c.fill(rect(x, 0, x + 1, 14), (12, 14, 17), 0.55)
    return c


def vol_handle_gif():
    c = Canvas(8, 16)
    c.fill(rrect(0, 0, 8, 16, 3), SHADOW)
    c.fill(rrect(1, 1, 7, 15, 2.2), vgrad((240, 244, 248), (170, 178, 190), 1, 15))
    c.fill(rect(2, 7.5, 6, 8.5), (110, 118, 130))
    return c


# ---------------------------------------------------------------- box frame
def title_paint(x, y):
    if y < 1:
        return TITLE_HI
    if y >= 21:
        return SHADOW
    return lerp(TITLE_TOP, TITLE_BOT, (y - 1) / 19)


def title_left_gif():
    c = Canvas(12, 22)
    c.fill(rrect(0, 0, 20, 22, 6, "tl"), title_paint)
    return c


def title_label_gif(words):
    w = 12 + text_width(words, 2) + 4
    c = Canvas(w, 22)
    c.fill(rrect(2, 6, 5, 16, 1.2), ACCENT)
    c.text(11, 9, words, SHADOW, 2)
    c.text(10, 8, words, TEXT, 2)
    return c


def close_box_gif():
    c = Canvas(14, 14)
    c.fill(rrect(0, 0, 14, 14, 3.5), SHADOW)
    c.fill(rrect(1, 1, 13, 13, 2.5), (30, 33, 40))
    c.fill(union(seg(4.5, 4.5, 9.5, 9.5, 1.7), seg(9.5, 4.5, 4.5, 9.5, 1.7)), MUTED)
    return c


def box_bg_gif():
    # A faint carbon weave: 2x2 cells that differ by one step of grey.
    c = Canvas(8, 8, BOX)
    for y in range(0, 8, 2):
        for x in range(0, 8, 2):
            if (x + y) % 4 == 0:
                c.fill(rect(x, y, x + 2, y + 2), (29, 32, 38))
    return c


def footer_paint(x, y):
    if y < 1:
        return SHADOW
    if y < 2:
        return (52, 58, 69)
    return lerp((38, 42, 50), (28, 31, 37), (y - 2) / 19)


def footer_bg_gif():
    return Canvas(8, 22, footer_paint)


def footer_left_gif():
    c = Canvas(10, 22)
    c.fill(rrect(0, 0, 20, 22, 6, "bl"), footer_paint)
    c.fill(rrect(3, 8, 5, 14, 1), ACCENT_DEEP)
    return c


def resize_gif():
    c = Canvas(14, 14)
    for y in range(1, 14, 4):
        for x in range(1, 14, 4):
            if x + y >= 12:
                c.fill(rect(x + 1, y + 1, x + 3, y + 3), SHADOW)
                c.fill(rect(x, y, x + 2, y + 2), (96, 104, 118))
    return c


# ---------------------------------------------------------------- icons
def folder_icon(up=False):
    c = Canvas(16, 16)
    c.fill(rrect(1, 2.5, 7.5, 6, 1.2), AMBER_DEEP)
    c.fill(rrect(1, 4, 15, 14, 1.5), vgrad(AMBER, AMBER_DEEP, 4, 14))
    c.fill(rect(1.5, 6, 14.5, 7), (255, 222, 150), 0.7)
    if up:
        c.fill(poly([(8, 6.8), (11.6, 10.2), (9.3, 10.2), (9.3, 12.8), (6.7, 12.8), (6.7, 10.2), (4.4, 10.2)]),
               (84, 52, 12))
    return c


def mp3_icon():
    c = Canvas(16, 16)
    c.fill(circle(4.4, 12.2, 2.5), BLUE)
    c.fill(circle(11.6, 10.7, 2.5), BLUE)
    c.fill(rect(5.9, 3.6, 7.1, 12.2), BLUE)
    c.fill(rect(13.1, 2.1, 14.3, 10.7), BLUE)
    c.fill(poly([(5.9, 3.6), (14.3, 1.6), (14.3, 4.4), (5.9, 6.4)]), BLUE)
    return c


def m3u_icon():
    c = Canvas(16, 16)
    for y in (3.5, 7.5, 11.5):
        c.fill(circle(2.8, y + 0.6, 1.4), ACCENT)
        c.fill(rrect(5.5, y, 14.5, y + 1.6, 0.7), TEXT)
    return c


def play_icon():
    c = Canvas(16, 16)
    c.fill(circle(8, 8, 7.2), ACCENT)
    c.fill(poly([(6.2, 4.6), (6.2, 11.4), (11.8, 8)]), ACCENT_INK)
    return c


def plus(c, cx, cy, half, thick, rgb):
    c.fill(rect(cx - thick / 2, cy - half, cx + thick / 2, cy + half), rgb)
    c.fill(rect(cx - half, cy - thick / 2, cx + half, cy + thick / 2), rgb)


def nq_icon():
    c = Canvas(16, 16)
    c.fill(circle(8, 8, 7.2), (60, 67, 80))
    plus(c, 8, 8, 4, 1.8, TEXT)
    return c


def nqnext_icon():
    c = Canvas(16, 16)
    c.fill(circle(8, 8, 7.2), (60, 67, 80))
    plus(c, 6.2, 8, 3.2, 1.6, TEXT)
    c.fill(poly([(10.4, 5), (10.4, 11), (13.6, 8)]), ACCENT)
    return c


def trash_icon():
    c = Canvas(16, 16)
    body = (176, 184, 196)
    c.fill(rrect(6, 1.2, 10, 3.4, 0.8), body)
    c.fill(rrect(2.6, 2.8, 13.4, 4.6, 0.8), body)
    c.fill(poly([(3.8, 5.6), (12.2, 5.6), (11.3, 14.8), (4.7, 14.8)]), body)
    for x in (6.2, 7.6, 9.0):
        c.fill(rect(x, 7, x + 0.9, 13.2), (70, 76, 88))
    return c


def plclear_icon():
    c = Canvas(16, 16)
    for y in (2.5, 6.5, 10.5):
        c.fill(rrect(1, y, 10, y + 1.6, 0.7), TEXT)
    c.fill(union(seg(10.5, 9.5, 14.5, 13.5, 1.9), seg(14.5, 9.5, 10.5, 13.5, 1.9)), RED)
    return c


def delete_icon():
    c = Canvas(12, 12)
    c.fill(circle(6, 6, 5.6), RED)
    c.fill(union(seg(4, 4, 8, 8, 1.5), seg(8, 4, 4, 8, 1.5)), (255, 240, 240))
    return c


def search_icon():
    c = Canvas(16, 16)
    c.fill(ring(6.5, 6.5, 3.5, 5.4), TEXT)
    c.fill(seg(10.4, 10.4, 14, 14, 2.6), TEXT)
    return c


def mlconnect_icon():
    c = Canvas(16, 16)
    link = (120, 130, 146)
    c.fill(union(seg(8, 4, 3.5, 12, 1.3), seg(8, 4, 12.5, 12, 1.3), seg(3.5, 12, 12.5, 12, 1.3)), link)
    c.fill(circle(8, 3.8, 2.6), ACCENT)
    c.fill(circle(3.5, 12, 2.6), BLUE)
    c.fill(circle(12.5, 12, 2.6), BLUE)
    return c


def sort_arrow(up):
    c = Canvas(9, 5)
    pts = [(0, 5), (9, 5), (4.5, 0)] if up else [(0, 0), (9, 0), (4.5, 5)]
    c.fill(poly(pts), ACCENT)
    return c


def loading_frames():
    import math
    frames = []
    for k in range(8):
        c = Canvas(16, 16)
        for i in range(8):
            age = (k - i) % 8              # 0 = the leading dot
            a = 2 * math.pi * i / 8 - math.pi / 2
            rgb = lerp(ACCENT, (70, 78, 92), age / 5)
            c.fill(circle(8 + 5.6 * math.cos(a), 8 + 5.6 * math.sin(a), 1.7 if age else 2.0), rgb)
        frames.append(c)
    return frames


def donate_gif():
    words = "SUPPORT"
    w = 22 + text_width(words) + 8
    c = Canvas(w, 18)
    c.fill(rrect(0, 0, w, 18, 9), (54, 40, 46))
    c.fill(rrect(1, 1, w - 1, 17, 8), vgrad((88, 52, 62), (62, 38, 46), 1, 17))
    c.fill(union(circle(9, 7.2, 2.6), circle(13, 7.2, 2.6),
                 poly([(6.5, 8), (15.5, 8), (11, 13.4)])), RED)
    c.text(20, 6, words, (244, 220, 226))
    return c


def favicon(size):
    s = size / 16.0
    c = Canvas(size, size)
    c.fill(rrect(0, 0, size, size, 3.5 * s), vgrad(ACCENT, ACCENT_DEEP, 0, size))
    c.fill(poly([(5.8 * s, 3.8 * s), (5.8 * s, 12.2 * s), (12.6 * s, 8 * s)]), ACCENT_INK)
    return c


def app_icon(size):
    """The installed app's icon: the favicon's play sign on a full square
    (launchers cut their own shape), with a ring for the music."""
    s = size / 48.0
    c = Canvas(size, size, vgrad((34, 40, 48), PAGE, 0, size))
    c.fill(ring(24 * s, 24 * s, 15 * s, 18 * s), vgrad(ACCENT, ACCENT_DEEP, 6 * s, 42 * s))
    c.fill(poly([(19.5 * s, 15.5 * s), (19.5 * s, 32.5 * s), (33 * s, 24 * s)]), ACCENT)
    return c


# ---------------------------------------------------------------- toolbar
def tool_button(enabled):
    c = Canvas(22, 22)
    if enabled:
        c.fill(rrect(0, 0, 22, 22, 4.5), SHADOW)
        c.fill(rrect(1, 1, 21, 21, 3.5), vgrad((58, 64, 76), (42, 47, 56), 1, 21))
    else:
        c.fill(rrect(1, 1, 21, 21, 3.5), (38, 42, 50))
    return c


def back_jpg(enabled):
    c = tool_button(enabled)
    c.fill(polyline([(13, 6), (8, 11), (13, 16)], 2.4), TEXT if enabled else DISABLED)
    return c


def favorites_jpg():
    c = tool_button(True)
    c.fill(star(9.5, 11.4, 6.8, 2.9), AMBER)
    c.fill(poly([(15.5, 10.5), (19.5, 10.5), (17.5, 13)]), MUTED)
    return c


def fav_jpg(on):
    c = tool_button(True)
    ribbon = poly([(7, 4.5), (15, 4.5), (15, 17.5), (11, 14), (7, 17.5)])
    if on:
        c.fill(ribbon, AMBER)
    else:
        c.fill(ribbon, MUTED)
        c.fill(poly([(8.6, 6.1), (13.4, 6.1), (13.4, 14.3), (11, 12.1), (8.6, 14.3)]),
               vgrad((58, 64, 76), (42, 47, 56), 1, 21))
    return c


# ---------------------------------------------------------------- main
def app_icons(out):
    out.png("icon192.png", app_icon(192))
    out.png("icon512.png", app_icon(512))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    args = [a for a in sys.argv[1:] if a != "--icons"]
    folder = args[0] if args else os.path.join(here, "..", "files")
    os.makedirs(folder, exist_ok=True)
    out = Writer(folder)
    if "--icons" in sys.argv:  # the app icons alone: no ImageMagick needed
        app_icons(out)
        os.rmdir(out.tmp)
        return

    def at(ox, oy):  # the console face under an element placed at (ox, oy)
        return lambda x, y: face_color(ox + x, oy + y)

    title_mid = lerp(TITLE_TOP, TITLE_BOT, 0.5)
    footer_mid = footer_paint(0, 11)

    out.jpeg("interface.jpg", interface_jpg(), face_color)
    out.gif("console.gif", console_gif(), at(STRIP_X, STRIP_Y))
    out.gif("waLightOn.gif", light_on_gif(), PILL_TOP)
    out.gif("seek_slider.gif", seek_slider_gif(), at(10, 76))
    out.gif("seek_handle.gif", seek_handle_gif(), at(10, 74))
    out.jpeg("vol_slider.jpg", vol_slider_jpg(), at(40, 136))
    out.gif("vol_handle.gif", vol_handle_gif(), at(40, 135))

    out.gif("waBoxTitleLeft.gif", title_left_gif(), PAGE)
    out.gif("waBoxTitleRight.gif", title_left_gif().flip(), PAGE)
    out.gif("waConsoleTitle.gif", title_label_gif("CONSOLE"), title_paint)
    out.gif("waPlaylistTitle.gif", title_label_gif("PLAYLIST"), title_paint)
    out.gif("titleML.gif", title_label_gif("MEDIA LIBRARY"), title_paint)
    out.gif("closeBox.gif", close_box_gif(), title_mid)
    out.gif("waBoxBg.gif", box_bg_gif(), BOX)
    out.gif("waFooterBg.gif", footer_bg_gif(), footer_mid)
    out.gif("waFooterLeft.gif", footer_left_gif(), PAGE)
    out.gif("waResize.gif", resize_gif(), footer_mid)

    out.gif("folder.gif", folder_icon(), BOX)
    out.gif("folder_up.gif", folder_icon(up=True), BOX)
    out.gif("mp3.gif", mp3_icon(), BOX)
    out.gif("m3u.gif", m3u_icon(), BOX)
    out.gif("play.gif", play_icon(), BOX)
    out.gif("nq.gif", nq_icon(), BOX)
    out.gif("nqnext.gif", nqnext_icon(), BOX)
    out.gif("trash.gif", trash_icon(), footer_mid)
    out.gif("plclear.gif", plclear_icon(), footer_mid)
    out.gif("delete.gif", delete_icon(), TOOL)
    out.gif("search.gif", search_icon(), TOOL)
    out.gif("mlconnect.gif", mlconnect_icon(), TOOL)
    out.gif("asc.gif", sort_arrow(True), TOOL)
    out.gif("desc.gif", sort_arrow(False), TOOL)
    out.animated_gif("loading.gif", loading_frames(), TOOL, 10)
    out.gif("donate.gif", donate_gif(), footer_mid)
    out.ico("favicon.ico", [favicon(16), favicon(32)])
    app_icons(out)

    out.jpeg("back.jpg", back_jpg(True), TOOL)
    out.jpeg("back_gray.jpg", back_jpg(False), TOOL)
    out.jpeg("forward.jpg", back_jpg(True).flip(), TOOL)
    out.jpeg("forward_gray.jpg", back_jpg(False).flip(), TOOL)
    out.jpeg("favorites.jpg", favorites_jpg(), TOOL)
    out.jpeg("fav_on.jpg", fav_jpg(True), TOOL)
    out.jpeg("fav_off.jpg", fav_jpg(False), TOOL)

    for name in os.listdir(out.tmp):
        os.remove(os.path.join(out.tmp, name))
    os.rmdir(out.tmp)


if __name__ == "__main__":
    main()
