#!/usr/bin/python3
"""Draws the window-frame bitmaps and the application icons into resources/.

For each frame style (G green, B blue, O orange) it writes three 24-bit bitmaps:
  RES_FORM_<s>.bmp   215 x 44  frame sheet; magenta (255, 0, 255) at 0, 0 is the shape key
  RES_ICON_<s>.bmp    16 x 16  title bar icon; pure red is transparent
  RES_TITLE_<s>.bmp   64 x 16  minimize up/down, close up/down; pure red is transparent
and the application icons tallyfern.png (64 x 64) and tallyfern-256.png (256 x 256).

The frame painter reads fixed regions of the sheet: title bar ends at x 0..10 and
201..214 with the middle column 187 (rows 0..30), side edges at row 32 (x 0..4 and
210..214), the client colour at 6, 32, and the bottom edge at rows 39..43 (ends at
x 0..4 and 175..179, middle column 5).

Run from anywhere with /usr/bin/python3 tools/mkskin.py; it needs no third-party modules.
"""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'resources')

MAGENTA = (255, 0, 255)
RED = (255, 0, 0)

# Title bar geometry of the main window: the buttons sit at y 9 and the icon at x 11, y 9.
TITLE_H = 31
CORNER_R = 8.0

STYLES = {
    'G': dict(top=(126, 196, 112), mid_hi=(74, 158, 74), mid_lo=(50, 134, 56),
              bottom=(36, 112, 46), outline=(22, 70, 30), frame=(48, 126, 56),
              client=(236, 233, 216), button=(92, 168, 88), close=(226, 84, 54)),
    'B': dict(top=(112, 164, 240), mid_hi=(52, 112, 214), mid_lo=(28, 88, 200),
              bottom=(20, 70, 176), outline=(12, 40, 112), frame=(30, 86, 196),
              client=(234, 238, 246), button=(70, 128, 224), close=(226, 84, 54)),
    'O': dict(top=(250, 190, 112), mid_hi=(232, 142, 56), mid_lo=(214, 118, 34),
              bottom=(186, 92, 22), outline=(112, 52, 10), frame=(206, 112, 36),
              client=(246, 240, 230), button=(236, 156, 80), close=(196, 52, 40)),
}


# ---------------------------------------------------------------- colour helpers

def clamp(v, lo=0.0, hi=1.0):
    return max(lo, min(hi, v))


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def lighter(c, t):
    return lerp(c, (255, 255, 255), t)


def darker(c, t):
    return lerp(c, (0, 0, 0), t)


def to_byte(c):
    return tuple(int(round(clamp(v, 0, 255))) for v in c)


def safe(c, keys=(MAGENTA, RED)):
    """A drawn colour never equals a key colour by accident."""
    c = to_byte(c)
    if c in keys:
        c = (c[0] - 1, c[1], c[2])
    return c


# ---------------------------------------------------------------- shapes (signed distances)

def sd_round_rect(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r


def sd_circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def sd_segment(px, py, ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - ax - dx * t, py - ay - dy * t) - r


class Canvas:
    """RGBA canvas with straight alpha; shapes are painted with supersampled coverage."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * w for _ in range(h)]

    def blend(self, x, y, rgb, a):
        if a <= 0:
            return
        r, g, b, da = self.px[y][x]
        oa = a + da * (1 - a)
        if oa <= 0:
            return
        mix = [(s * a + d * da * (1 - a)) / oa for s, d in zip(rgb, (r, g, b))]
        self.px[y][x] = (mix[0], mix[1], mix[2], oa)

    def paint(self, sdf, colour, opacity=1.0, n=4):
        """colour is an (r, g, b) or a function of the pixel centre."""
        for y in range(self.h):
            for x in range(self.w):
                d = sdf(x + 0.5, y + 0.5)
                if d > 0.75:
                    continue
                if d < -0.75:
                    cov = 1.0
                else:
                    hits = 0
                    for i in range(n):
                        for j in range(n):
                            if sdf(x + (i + 0.5) / n, y + (j + 0.5) / n) <= 0:
                                hits += 1
                    cov = hits / (n * n)
                if cov > 0:
                    c = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                    self.blend(x, y, c, cov * opacity)

    def flatten(self, background, key, threshold=0.08):
        """Opaque pixels over a known background; nearly empty pixels become the key."""
        rows = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r, g, b, a = self.px[y][x]
                if a < threshold:
                    row.append(key)
                else:
                    row.append(safe(lerp(background(x, y), (r, g, b), a)))
            rows.append(row)
        return rows


# ---------------------------------------------------------------- file writers

def write_bmp(path, rows):
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b'\0' * (stride - len(line))
        data += line
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


def write_png(path, canvas):
    raw = bytearray()
    for row in canvas.px:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes(to_byte((r, g, b))) + bytes((int(round(clamp(a) * 255)),))

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body
                + struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))

    ihdr = struct.pack('>IIBBBBB', canvas.w, canvas.h, 8, 6, 0, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr)
                + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


# ---------------------------------------------------------------- the frame

def title_colour(s, y):
    """Colour of the title bar's inside at row y: a glossy upper half over a deeper lower half."""
    if y <= 14:
        c = lerp(s['top'], s['mid_hi'], y / 14)
    else:
        c = lerp(s['mid_lo'], s['bottom'], (y - 15) / 14)
    if y == 1:
        c = lighter(c, 0.35)
    if y == TITLE_H - 1:
        c = lerp(s['bottom'], s['outline'], 0.55)
    return c


def frame_sheet(s):
    w, h = 215, 44
    rows = [[MAGENTA] * w for _ in range(h)]
    outline, frame = s['outline'], s['frame']
    frame_hi, frame_lo = lighter(frame, 0.3), darker(frame, 0.3)

    # Title bar of a window as wide as the sheet, with rounded top corners.
    for y in range(TITLE_H):
        for x in range(w):
            d = sd_round_rect(x + 0.5, y + 0.5, 0, 0, w, 2 * TITLE_H, CORNER_R)
            if d > 0:
                continue
            c = title_colour(s, y)
            if y > 1 and (x == 1 or x == w - 2):
                c = lighter(c, 0.2)
            # The outline follows the shape; along the arcs it fades into the inside.
            c = lerp(c, outline, clamp(d + 1.5))
            rows[y][x] = safe(c)

    # Side edges (the painter reads row 32) and the client colour at 6, 32.
    left = [outline, frame_hi, frame, frame, frame_lo]
    right = [frame_lo, frame, frame, frame_hi, outline]
    for y in range(TITLE_H, 39):
        for x in range(w):
            if x < 5:
                rows[y][x] = safe(left[x])
            elif x >= w - 5:
                rows[y][x] = safe(right[x - (w - 5)])
            else:
                rows[y][x] = safe(s['client'])

    # Bottom edge, 180 wide: ends at x 0..4 and 175..179, middle from column 5.
    for r in range(5):
        y = 39 + r
        for x in range(180):
            if r == 4:
                c = outline
            elif x < 5:
                c = left[x] if (r > 0 or x < 4) else frame_lo
            elif x >= 175:
                c = right[x - 175] if (r > 0 or x == 175 or x == 179) else frame_lo
                if r > 0 and x == 175:
                    c = frame
            else:
                c = [frame_lo, frame, frame, frame][r]
            rows[y][x] = safe(c)
    return rows


def title_background(s, x, y):
    """What lies behind a 16 x 16 picture placed at y 9 of the title bar."""
    return title_colour(s, y + 9)


def button_strip(s):
    pictures = []
    for kind in ('minimize', 'close'):
        for pressed in (False, True):
            pictures.append(draw_button(s, kind, pressed))
    return [sum((p[y] for p in pictures), []) for y in range(16)]


def draw_button(s, kind, pressed):
    c = Canvas(16, 16)
    face = s['close'] if kind == 'close' else s['button']
    if pressed:
        top, bottom = darker(face, 0.28), darker(face, 0.12)
        rim = lerp(face, (255, 255, 255), 0.35)
    else:
        top, bottom = lighter(face, 0.38), darker(face, 0.08)
        rim = (255, 255, 255)

    def fill(x, y):
        return lerp(top, bottom, clamp((y - 1) / 14))

    c.paint(lambda x, y: sd_round_rect(x, y, 0.5, 0.5, 15.5, 15.5, 3.2), rim, 0.9)
    c.paint(lambda x, y: sd_round_rect(x, y, 1.5, 1.5, 14.5, 14.5, 2.4), fill)
    if pressed:
        # A shadow along the inner top and left edges reads as a button pushed in.
        c.paint(lambda x, y: max(sd_round_rect(x, y, 1.5, 1.5, 14.5, 14.5, 2.4),
                                 -sd_round_rect(x, y, 2.5, 2.5, 15.5, 15.5, 2.4)),
                darker(face, 0.5), 0.6)
    o = 1.0 if pressed else 0.0
    glyph = (255, 255, 255)
    if kind == 'close':
        a, b = 4.6 + o, 11.4 + o
        c.paint(lambda x, y: min(sd_segment(x, y, a, a, b, b, 1.05),
                                 sd_segment(x, y, b, a, a, b, 1.05)), glyph)
    else:
        c.paint(lambda x, y: sd_round_rect(x, y, 4 + o, 10 + o, 11 + o, 12.2 + o, 0.4), glyph)
    return c.flatten(lambda x, y: title_background(s, x, y), RED)


# ---------------------------------------------------------------- icons

GOLD_LIGHT, GOLD, GOLD_DARK, BROWN = (255, 226, 120), (238, 180, 40), (196, 134, 18), (120, 72, 8)


def paint_coin(c, cx, cy, r, stroke):
    """A gold coin with a yen sign, centred at cx, cy with radius r."""
    def gold(x, y):
        return lerp(GOLD_LIGHT, GOLD, clamp((y - (cy - r)) / (2 * r)))
    c.paint(lambda x, y: sd_circle(x, y, cx, cy, r), BROWN)
    c.paint(lambda x, y: sd_circle(x, y, cx, cy, r - stroke * 0.8), gold)
    c.paint(lambda x, y: max(sd_circle(x, y, cx, cy, r - stroke * 1.6),
                             -sd_circle(x, y, cx, cy, r - stroke * 2.2)), GOLD_DARK, 0.55)
    u = r / 7.0
    w = stroke * 0.55
    arm_y, stem_y = cy - 4.2 * u, cy + 0.2 * u

    def yen(x, y):
        return min(sd_segment(x, y, cx - 3.0 * u, arm_y, cx, stem_y, w),
                   sd_segment(x, y, cx + 3.0 * u, arm_y, cx, stem_y, w),
                   sd_segment(x, y, cx, stem_y, cx, cy + 4.4 * u, w),
                   sd_segment(x, y, cx - 2.6 * u, cy + 0.9 * u, cx + 2.6 * u, cy + 0.9 * u, w * 0.8),
                   sd_segment(x, y, cx - 2.6 * u, cy + 2.9 * u, cx + 2.6 * u, cy + 2.9 * u, w * 0.8))
    c.paint(yen, BROWN)


# At 16 pixels the yen sign is set pixel by pixel so that it stays crisp.
YEN_16 = ['....#......#....',
          '.....#....#.....',
          '......#..#......',
          '.......##.......',
          '.....######.....',
          '.......##.......',
          '.....######.....',
          '.......##.......',
          '.......##.......']


def title_icon(s):
    c = Canvas(16, 16)
    c.paint(lambda x, y: sd_circle(x, y, 8, 8, 7.6), BROWN)
    c.paint(lambda x, y: sd_circle(x, y, 8, 8, 6.6),
            lambda x, y: lerp(GOLD_LIGHT, GOLD, clamp((y - 1) / 14)))
    for row, line in enumerate(YEN_16):
        for x, ch in enumerate(line):
            if ch == '#':
                c.blend(x, row + 3, BROWN, 1.0)
    return c.flatten(lambda x, y: title_background(s, x + 11, y), RED)


def app_icon(size):
    """A green ledger with a gold coin: the program's icon on the desktop and in the task bar."""
    c = Canvas(size, size)
    k = size / 64.0
    green_top, green_bottom = (104, 186, 96), (30, 112, 46)

    def tile(x, y):
        return lerp(green_top, green_bottom, clamp(y / size))
    c.paint(lambda x, y: sd_round_rect(x, y, 3 * k, 3 * k, 61 * k, 61 * k, 11 * k), (16, 70, 26))
    c.paint(lambda x, y: sd_round_rect(x, y, 4 * k, 4 * k, 60 * k, 60 * k, 10 * k), tile)
    # Ledger page with ruled lines and a column rule.
    c.paint(lambda x, y: sd_round_rect(x, y, 13 * k, 10 * k, 47 * k, 54 * k, 3 * k), (12, 64, 24), 0.35)
    c.paint(lambda x, y: sd_round_rect(x, y, 12 * k, 9 * k, 46 * k, 52 * k, 3 * k), (252, 252, 246))
    c.paint(lambda x, y: sd_round_rect(x, y, 12 * k, 9 * k, 46 * k, 15 * k, 0.01), (70, 150, 74))
    for i in range(6):
        ly = (21 + 5.5 * i) * k
        c.paint(lambda x, y, ly=ly: sd_segment(x, y, 17 * k, ly, 41 * k, ly, 0.8 * k),
                (150, 176, 200))
    c.paint(lambda x, y: sd_segment(x, y, 22 * k, 13 * k, 22 * k, 48 * k, 0.8 * k), (214, 96, 90))
    paint_coin(c, 44 * k, 44 * k, 14 * k, 2.2 * k)
    return c


def main():
    for letter, s in STYLES.items():
        write_bmp(os.path.join(OUT, 'RES_FORM_%s.bmp' % letter), frame_sheet(s))
        write_bmp(os.path.join(OUT, 'RES_ICON_%s.bmp' % letter), title_icon(s))
        write_bmp(os.path.join(OUT, 'RES_TITLE_%s.bmp' % letter), button_strip(s))
    write_png(os.path.join(OUT, 'tallyfern.png'), app_icon(64))
    write_png(os.path.join(OUT, 'tallyfern-256.png'), app_icon(256))


if __name__ == '__main__':
    main()
