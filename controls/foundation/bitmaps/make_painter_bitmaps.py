#!/usr/bin/env python3
"""Draws the painters' bitmaps (grid indicators, the auto-hide pins, the marks of automatic
scrolling and the Office11 expand buttons) as 24-bit .bmp files
and writes the resource script that names them.

Usage: make_painter_bitmaps.py <output folder>
Indicators are black shapes on white (white is their transparent colour); the pins are grey and
black on the fuchsia that the bottom-left pixel makes transparent. The scrolling marks are
black arrows around a dot on white, shown inside an ellipse. The expand buttons are white
boxes in a dark blue-grey frame with a black minus, or plus.
"""
import os
import struct
import sys

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
FUCHSIA = (255, 0, 255)
GREY = (128, 128, 128)
SILVER = (192, 192, 192)


class Picture:
    def __init__(self, width, height, ground):
        self.width = width
        self.height = height
        self.pixels = [[ground] * width for _ in range(height)]

    def set(self, x, y, colour=BLACK):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, left, top, right, bottom, colour=BLACK):
        for y in range(top, bottom):
            for x in range(left, right):
                self.set(x, y, colour)

    def bmp(self):
        row_size = (self.width * 3 + 3) // 4 * 4
        data = bytearray()
        for y in range(self.height - 1, -1, -1):
            row = bytearray()
            for r, g, b in self.pixels[y]:
                row += bytes((b, g, r))
            row += bytes(row_size - len(row))
            data += row
        header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 14 + 40)
        info = struct.pack('<IiiHHIIiiII', 40, self.width, self.height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
        return header + info + bytes(data)


SIZE = 11


def right_arrow(p, left, cy, size):
    for step in range(size):
        for offset in range(-(size - 1 - step), size - step):
            p.set(left + step, cy + offset)


def arrow():
    p = Picture(SIZE, SIZE, WHITE)
    right_arrow(p, 3, 5, 5)
    return p


def edit():
    # A text cursor: a bar with serifs at both ends.
    p = Picture(SIZE, SIZE, WHITE)
    p.rect(5, 1, 6, 10)
    p.rect(3, 1, 5, 2)
    p.rect(6, 1, 8, 2)
    p.rect(3, 9, 5, 10)
    p.rect(6, 9, 8, 10)
    return p


def insert():
    # An asterisk.
    p = Picture(SIZE, SIZE, WHITE)
    p.rect(5, 1, 6, 10)
    for d in range(-3, 4):
        p.set(5 + d, 5 - d)
        p.set(5 + d, 5 + d)
    p.rect(2, 5, 9, 6)
    return p


def dot(p, cx, cy):
    p.rect(cx - 1, cy - 2, cx + 2, cy + 3)
    p.rect(cx - 2, cy - 1, cx + 3, cy + 2)


def multi_dot():
    p = Picture(SIZE, SIZE, WHITE)
    dot(p, 5, 5)
    return p


def multi_arrow():
    p = Picture(SIZE, SIZE, WHITE)
    right_arrow(p, 1, 5, 4)
    dot(p, 8, 5)
    return p


def pin(vertical):
    # A push pin: its head, a collar and a needle; lying down when off, standing when on.
    p = Picture(16, 16, FUCHSIA)
    def put(x, y, colour):
        if vertical:
            p.set(y, x, colour)
        else:
            p.set(x, y, colour)
    for x in range(6, 12):
        for y in range(4, 11):
            edge = x in (6, 11) or y in (4, 10)
            put(x, y, BLACK if edge else (SILVER if y < 7 else GREY))
    for y in range(3, 12):
        put(5, y, BLACK)
    for x in range(1, 5):
        put(x, 7, BLACK)
    return p


SCROLL_SIZE = 28


def scroll_mark(horizontal, vertical):
    # A dot in the middle with a triangle on each side the content can scroll to.
    p = Picture(SCROLL_SIZE, SCROLL_SIZE, WHITE)
    c = SCROLL_SIZE // 2
    p.rect(c - 2, c - 2, c + 2, c + 2)
    for step in range(5):
        for offset in range(-step, step + 1):
            if vertical:
                p.set(c + offset - 1 if offset < 0 else c + offset, 3 + step)
                p.set(c + offset - 1 if offset < 0 else c + offset, SCROLL_SIZE - 4 - step)
            if horizontal:
                p.set(3 + step, c + offset - 1 if offset < 0 else c + offset)
                p.set(SCROLL_SIZE - 4 - step, c + offset - 1 if offset < 0 else c + offset)
    return p


EXPAND_FRAME = (46, 70, 95)


def expand_button(expanded):
    p = Picture(SIZE, SIZE, WHITE)
    for i in range(SIZE):
        for x, y in ((i, 0), (i, SIZE - 1), (0, i), (SIZE - 1, i)):
            p.set(x, y, EXPAND_FRAME)
    p.rect(3, 5, 8, 6)
    if not expanded:
        p.rect(5, 3, 6, 8)
    return p


BITMAPS = [
    ('KV_ARROWBITMAP', arrow),
    ('KV_EDITBITMAP', edit),
    ('KV_INSERTBITMAP', insert),
    ('KV_MULTIDOTBITMAP', multi_dot),
    ('KV_MULTIARROWBITMAP', multi_arrow),
    ('KV_AUTOHIDEON', lambda: pin(True)),
    ('KV_AUTOHIDEOFF', lambda: pin(False)),
    ('KV_FULLSCROLLBITMAP', lambda: scroll_mark(True, True)),
    ('KV_HORSCROLLBITMAP', lambda: scroll_mark(True, False)),
    ('KV_VERSCROLLBITMAP', lambda: scroll_mark(False, True)),
    ('ZTEXPANDBUTTON_MINUS', lambda: expand_button(True)),
    ('ZTEXPANDBUTTON_PLUS', lambda: expand_button(False)),
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    lines = []
    for name, draw in BITMAPS:
        file_name = name.lower() + '.bmp'
        with open(os.path.join(out, file_name), 'wb') as f:
            f.write(draw().bmp())
        lines.append('%s BITMAP "%s"' % (name, file_name))
    with open(os.path.join(out, 'kvPainterBitmaps.rc'), 'w') as f:
        f.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
