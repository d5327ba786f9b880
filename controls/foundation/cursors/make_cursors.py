#!/usr/bin/env python3
"""Draws the library's cursors as 32x32 monochrome .cur files and writes the resource script
that names them.

Usage: make_cursors.py <output folder>
Each cursor is a black shape with a white outline on a transparent ground.
"""
import os
import struct
import sys

SIZE = 32


class Picture:
    def __init__(self):
        self.ink = [[False] * SIZE for _ in range(SIZE)]

    def set(self, x, y):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.ink[y][x] = True

    def rect(self, left, top, right, bottom):
        for y in range(top, bottom):
            for x in range(left, right):
                self.set(x, y)

    def frame(self, left, top, right, bottom):
        for x in range(left, right):
            self.set(x, top)
            self.set(x, bottom - 1)
        for y in range(top, bottom):
            self.set(left, y)
            self.set(right - 1, y)

    def arrow_head(self, cx, cy, direction, size):
        # A filled triangle pointing in direction ('up', 'down', 'left', 'right') with its tip at
        # (cx, cy).
        for step in range(size):
            for offset in range(-step, step + 1):
                if direction == 'up':
                    self.set(cx + offset, cy + step)
                elif direction == 'down':
                    self.set(cx + offset, cy - step)
                elif direction == 'left':
                    self.set(cx + step, cy + offset)
                else:
                    self.set(cx - step, cy + offset)

    def pointer(self):
        # The usual arrow pointer with its tip at (0, 0).
        for y in range(17):
            for x in range(y // 1 + 1):
                if x <= y * 2 // 3:
                    self.set(x, y)
        self.rect(4, 12, 7, 21)

    def circle(self, cx, cy, radius, width):
        for y in range(SIZE):
            for x in range(SIZE):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if radius - width < d <= radius:
                    self.set(x, y)

    def line(self, x0, y0, x1, y1, width):
        steps = max(abs(x1 - x0), abs(y1 - y0))
        for i in range(steps + 1):
            x = x0 + (x1 - x0) * i // steps
            y = y0 + (y1 - y0) * i // steps
            self.rect(x, y, x + width, y + width)


def scroll(directions, dot=True):
    p = Picture()
    c = 15
    if dot:
        p.rect(c - 1, c - 1, c + 2, c + 2)
    if 'up' in directions:
        p.arrow_head(c, 2, 'up', 6)
    if 'down' in directions:
        p.arrow_head(c, 28, 'down', 6)
    if 'left' in directions:
        p.arrow_head(2, c, 'left', 6)
    if 'right' in directions:
        p.arrow_head(28, c, 'right', 6)
    return p, (c, c)


def size_cursor(vertical):
    p = Picture()
    c = 15
    if vertical:
        p.arrow_head(c, 3, 'up', 6)
        p.arrow_head(c, 27, 'down', 6)
        p.rect(c - 1, 8, c + 2, 23)
        p.rect(5, c - 1, 26, c + 1)
    else:
        p.arrow_head(3, c, 'left', 6)
        p.arrow_head(27, c, 'right', 6)
        p.rect(8, c - 1, 23, c + 2)
        p.rect(c - 1, 5, c + 1, 26)
    return p, (c, c)


def drag(extra):
    p = Picture()
    p.pointer()
    if extra == 'copy':
        p.frame(16, 18, 27, 29)
        p.rect(21, 20, 22, 27)
        p.rect(18, 23, 25, 24)
    elif extra == 'multi':
        p.frame(14, 20, 24, 28)
        p.frame(17, 17, 27, 25)
        p.frame(20, 14, 30, 22)
    elif extra == 'remove':
        p.line(17, 17, 27, 27, 2)
        p.line(27, 17, 17, 27, 2)
    else:
        p.frame(14, 20, 26, 29)
    return p, (0, 0)


def no_drop():
    p = Picture()
    p.circle(15, 15, 11, 3)
    p.line(8, 8, 22, 22, 3)
    return p, (15, 15)


CURSORS = [
    ('KV_DRAGCOPYCURSOR', 'dragcopy', lambda: drag('copy')),
    ('KV_FULLSCROLLCURSOR', 'fullscroll', lambda: scroll({'up', 'down', 'left', 'right'})),
    ('KV_HORSCROLLCURSOR', 'horscroll', lambda: scroll({'left', 'right'})),
    ('KV_VERSCROLLCURSOR', 'verscroll', lambda: scroll({'up', 'down'})),
    ('KV_UPSCROLLCURSOR', 'upscroll', lambda: scroll({'up'})),
    ('KV_RIGHTSCROLLCURSOR', 'rightscroll', lambda: scroll({'right'})),
    ('KV_DOWNSCROLLCURSOR', 'downscroll', lambda: scroll({'down'})),
    ('KV_LEFTSCROLLCURSOR', 'leftscroll', lambda: scroll({'left'})),
    ('KV_REMOVECURSOR', 'remove', lambda: drag('remove')),
    ('KV_VERTSIZECURSOR', 'vertsize', lambda: size_cursor(True)),
    ('KV_HORZSIZECURSOR', 'horzsize', lambda: size_cursor(False)),
    ('KV_MULTIDRAGCURSOR', 'multidrag', lambda: drag('multi')),
    ('KV_NODROPCURSOR', 'nodrop', no_drop),
    ('KV_DRAGCURSOR', 'drag', lambda: drag('plain')),
    # The editors' mouse-wheel cursor.
    ('KVEDIT_MOUSEWHEEL', 'editmousewheel', lambda: scroll({'up', 'down'})),
]


def cursor_file(picture, hotspot):
    ink = picture.ink

    def near_ink(x, y):
        return any(0 <= x + dx < SIZE and 0 <= y + dy < SIZE and ink[y + dy][x + dx]
                   for dx in (-1, 0, 1) for dy in (-1, 0, 1))

    # AND 0 / XOR 0 is black, AND 0 / XOR 1 white, AND 1 / XOR 0 transparent.
    xor_rows, and_rows = [], []
    for y in reversed(range(SIZE)):  # bottom row first
        xor_bits = and_bits = 0
        for x in range(SIZE):
            bit = 1 << (31 - x)
            if ink[y][x]:
                continue
            if near_ink(x, y):
                xor_bits |= bit
            else:
                and_bits |= bit
        xor_rows.append(struct.pack('>I', xor_bits))
        and_rows.append(struct.pack('>I', and_bits))
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = struct.pack('<II', 0x000000, 0xFFFFFF)
    image = header + palette + b''.join(xor_rows) + b''.join(and_rows)
    directory = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 2, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    return directory + entry + image


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    lines = ['// Made by make_cursors.py: the library\'s cursors.']
    for resource, name, draw in CURSORS:
        picture, hotspot = draw()
        path = os.path.join(out, name + '.cur')
        with open(path, 'wb') as f:
            f.write(cursor_file(picture, hotspot))
        lines.append('%s CURSOR "%s"' % (resource, path.replace('\\', '/')))
    with open(os.path.join(out, 'kvCursors.rc'), 'w') as f:
        f.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
