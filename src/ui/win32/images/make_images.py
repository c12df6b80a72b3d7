#!/usr/bin/env python3
# Draws the page list's icons (16 x 16, 32-bit with mask) and the About page's
# picture (24-bit bitmap) that the dialog's resource script takes in: the same
# pictures as the Qt dialog's, in a few rectangles and discs each.
# Run from this folder; the files it writes are kept in the repository.
import struct

def blank(w, h):
    return [[None] * w for _ in range(h)]

def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1):
        for x in range(x0, x1):
            img[y][x] = colour

def disc(img, cx, cy, r, colour):
    for y in range(len(img)):
        for x in range(len(img[0])):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                img[y][x] = colour

def server():
    img = blank(16, 16)
    for rack in range(3):
        rect(img, 2, 2 + rack * 5, 14, 6 + rack * 5, (40, 40, 60))
        rect(img, 3, 3 + rack * 5, 13, 5 + rack * 5, (90, 110, 160))
        rect(img, 11, 3 + rack * 5, 12, 5 + rack * 5, (120, 230, 120))
    return img

def security():
    img = blank(16, 16)
    disc(img, 8, 7, 5, (110, 90, 20))
    disc(img, 8, 7, 3, None)
    rect(img, 2, 7, 14, 15, (110, 90, 20))
    rect(img, 3, 8, 13, 14, (230, 190, 60))
    rect(img, 7, 10, 9, 12, (80, 60, 10))
    return img

def activity():
    img = blank(16, 16)
    red = (200, 40, 60)
    points = [(0, 8), (4, 8), (6, 3), (9, 13), (11, 6), (12, 8), (15, 8)]
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        steps = max(abs(x1 - x0), abs(y1 - y0)) * 2
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            rect(img, x, y, min(x + 2, 16), min(y + 2, 16), red)
    return img

def library():
    img = blank(16, 16)
    for book, colour in enumerate([(60, 120, 200), (200, 120, 40), (80, 160, 80)]):
        rect(img, 1 + book * 4, 2, 4 + book * 4, 15, (30, 30, 30))
        rect(img, 2 + book * 4, 3, 3 + book * 4, 14, colour)
    disc(img, 13, 13, 2, (50, 50, 50))
    rect(img, 14, 4, 15, 13, (50, 50, 50))
    return img

def about():
    img = blank(16, 16)
    disc(img, 8, 8, 7.5, (30, 70, 150))
    disc(img, 8, 8, 6.5, (90, 150, 230))
    disc(img, 8, 4.5, 1.3, (255, 255, 255))
    rect(img, 7, 7, 9, 13, (255, 255, 255))
    return img

def write_icon(name, img):
    h, w = len(img), len(img[0])
    pixels = b''.join(struct.pack('<BBBB', c[2], c[1], c[0], 255) if c else b'\0\0\0\0'
                      for row in reversed(img) for c in row)
    mask_row = (w + 31) // 32 * 4
    mask = b''
    for row in reversed(img):
        bits = 0
        for x, c in enumerate(row):
            if c is None:
                bits |= 1 << (mask_row * 8 - 1 - x)
        mask += bits.to_bytes(mask_row, 'big')
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + mask
    with open(name, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, 1))
        f.write(struct.pack('<BBBBHHII', w, h, 0, 0, 1, 32, len(image), 22))
        f.write(image)

def write_bitmap(name, img):
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) // 4 * 4
    rows = b''
    for row in reversed(img):
        line = b''.join(struct.pack('<BBB', c[2], c[1], c[0]) for c in row)
        rows += line + b'\0' * (stride - len(line))
    with open(name, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 54 + len(rows), 0, 0, 54))
        f.write(struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0))
        f.write(rows)

def picture():
    # A stave of five lines with three notes, on the dialog's grey.
    img = [[(240, 240, 240)] * 178 for _ in range(75)]
    for line in range(5):
        rect(img, 8, 18 + line * 10, 170, 19 + line * 10, (60, 60, 60))
    for x, y, colour in [(45, 53, (30, 70, 150)), (90, 43, (200, 40, 60)), (135, 33, (80, 160, 80))]:
        disc(img, x, y, 5, colour)
        rect(img, x + 4, y - 26, x + 6, y, colour)
    return img

write_icon('server.ico', server())
write_icon('security.ico', security())
write_icon('activity.ico', activity())
write_icon('library.ico', library())
write_icon('about.ico', about())
write_bitmap('about.bmp', picture())
