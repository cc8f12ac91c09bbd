#!/usr/bin/env python3
"""Draws the program's pictures and prints them as window-definition picture
data. A window's picture is a PNG file under its picture class: the class
name, then for TPNGGraphic the file's size and the file, for TdxSmartImage
the file alone. A button's glyph is a bitmap with no class name: the BMP
file's size and the file, 24-bit, or 8-bit with a palette when few colours
suffice. The pictures are laid over the colour they are shown on (buttons'
face or the list's white). A glyph's corner pixels are that face colour,
which the button takes as transparent.

    python3 app/pictures/make_pictures.py logo|reel|empty [TPNGGraphic|TdxSmartImage]
    python3 app/pictures/make_pictures.py add|remove|clear|start|stop|pause|resume|exit

The shapes are plain geometry, anti-aliased by 4x4 supersampling, so the
output is the same on every run.
"""
import math
import struct
import sys
import zlib


def render(width, height, pixel, background):
    """Rows of (r, g, b) laid over background, top row first."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            acc = [0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    r, g, b, a = pixel(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)
                    for i, c in enumerate((r, g, b)):
                        acc[i] += c * a + background[i] * (1 - a)
            row.append(tuple(int(round(v / 16)) for v in acc))
        rows.append(row)
    return rows


def bmp(rows):
    height, width = len(rows), len(rows[0])
    colours = sorted({c for row in rows for c in row})
    if len(colours) <= 256:
        index = {c: i for i, c in enumerate(colours)}
        stride = (width + 3) & ~3
        palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colours) + bytes(4 * (256 - len(colours)))
        data = b"".join(bytes(index[c] for c in row) + bytes(stride - width) for row in reversed(rows))
        bits = 8
    else:
        stride = (width * 3 + 3) & ~3
        palette = b""
        data = b"".join(b"".join(bytes((b, g, r)) for r, g, b in row) + bytes(stride - width * 3)
                        for row in reversed(rows))
        bits = 24
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                       256 if bits == 8 else 0, 0)
    return header + info + palette + data


def png(rows):
    """The rows as an 8-bit RGB PNG file, each row unfiltered."""
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + b"".join(bytes(c) for c in row) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(c1[i] + (c2[i] - c1[i]) * t for i in range(3))


def rounded_box(x, y, w, h, r):
    dx = max(r - x, 0, x - (w - r))
    dy = max(r - y, 0, y - (h - r))
    return dx * dx + dy * dy <= r * r


def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def logo(x, y, size=64.0):
    """A blue rounded tile with a play mark and two arrows turning round it."""
    u, v = x / size, y / size
    if not rounded_box(u, v, 1, 1, 0.2):
        return (0, 0, 0, 0)
    base = mix((40, 120, 220), (10, 50, 130), v)
    cx, cy = u - 0.5, v - 0.5
    r = math.hypot(cx, cy)
    if in_triangle(u, v, (0.40, 0.32), (0.40, 0.68), (0.68, 0.5)):
        return (255, 255, 255, 1)
    ang = math.atan2(cy, cx)
    if 0.30 <= r <= 0.36 and (0.3 < ang < 2.6 or -2.8 < ang < -0.5):
        return (250, 200, 60, 1)
    return base + (1,)


def reel(x, y, size=96.0):
    """A film reel: a disc with five holes and a hub."""
    u, v = x / size - 0.5, y / size - 0.5
    r = math.hypot(u, v)
    if r > 0.48:
        return (0, 0, 0, 0)
    if r > 0.44:
        return (70, 70, 80, 1)
    if r < 0.06:
        return (0, 0, 0, 0)
    if r < 0.11:
        return (200, 200, 210, 1)
    for k in range(5):
        a = 2 * math.pi * k / 5 - math.pi / 2
        hx, hy = 0.26 * math.cos(a), 0.26 * math.sin(a)
        if math.hypot(u - hx, v - hy) < 0.11:
            return (0, 0, 0, 0)
    return mix((150, 155, 170), (95, 100, 115), r / 0.44) + (1,)


def empty(x, y, w=348.0, h=198.0):
    """The empty task list: a faint film strip with a down arrow into a tray."""
    u, v = x / w, y / h
    bg = (0, 0, 0, 0)
    # The film strip across the top third.
    if 0.12 <= v <= 0.40 and 0.08 <= u <= 0.92:
        # Sprocket holes along both edges.
        for edge in (0.15, 0.37):
            if abs(v - edge) < 0.025 and (u * 30) % 1.0 < 0.45:
                return bg
        if 0.19 <= v <= 0.33 and (u * 6) % 1.0 < 0.06:
            return (200, 210, 225, 0.9)
        return (150, 165, 190, 0.55)
    # The arrow.
    if 0.45 <= v <= 0.66 and abs(u - 0.5) < 0.04:
        return (110, 140, 190, 0.8)
    if in_triangle(u, v, (0.43, 0.64), (0.57, 0.64), (0.5, 0.78)):
        return (110, 140, 190, 0.8)
    # The tray.
    if 0.80 <= v <= 0.88 and 0.30 <= u <= 0.70:
        if v >= 0.85 or u <= 0.32 or u >= 0.68:
            return (150, 165, 190, 0.7)
    return bg


# The queue buttons' glyphs, 16 x 16: shapes in unit coordinates (0..1) with
# a pixel of margin, so that the corners stay the face colour.
GREEN = (40, 150, 60)
RED = (200, 50, 40)
BLUE = (40, 100, 190)
GREY = (110, 115, 125)
WHITE_ = (255, 255, 255)


def disc(u, v, cx, cy, r):
    return math.hypot(u - cx, v - cy) <= r


def glyph(shape):
    def pixel(x, y, size=16.0):
        colour = shape(x / size, y / size)
        return colour + (1,) if colour else (0, 0, 0, 0)
    return pixel


def g_add(u, v):
    if disc(u, v, 0.5, 0.5, 0.44):
        if (abs(u - 0.5) < 0.08 and 0.22 < v < 0.78) or (abs(v - 0.5) < 0.08 and 0.22 < u < 0.78):
            return WHITE_
        return GREEN
    return None


def g_remove(u, v):
    if disc(u, v, 0.5, 0.5, 0.44):
        return WHITE_ if abs(v - 0.5) < 0.08 and 0.22 < u < 0.78 else RED
    return None


def g_clear(u, v):
    # A bin: lid, handle and a ribbed body.
    if 0.40 < u < 0.60 and 0.08 < v < 0.16:
        return GREY
    if 0.16 < u < 0.84 and 0.16 <= v < 0.26:
        return GREY
    if 0.24 < u < 0.76 and 0.30 < v < 0.92 and abs(u - 0.5) < 0.26 - (v - 0.30) * 0.06:
        for rib in (0.38, 0.5, 0.62):
            if abs(u - rib) < 0.035 and 0.38 < v < 0.84:
                return (225, 228, 235)
        return GREY
    return None


def g_start(u, v):
    return GREEN if in_triangle(u, v, (0.22, 0.10), (0.22, 0.90), (0.88, 0.5)) else None


def g_stop(u, v):
    return RED if rounded_box(u - 0.16, v - 0.16, 0.68, 0.68, 0.08) else None


def g_pause(u, v):
    if 0.12 < v < 0.88 and (0.20 < u < 0.42 or 0.58 < u < 0.80):
        return BLUE
    return None


def g_resume(u, v):
    if 0.10 < v < 0.90 and 0.12 < u < 0.26:
        return BLUE
    return GREEN if in_triangle(u, v, (0.36, 0.10), (0.36, 0.90), (0.92, 0.5)) else None


def g_exit(u, v):
    # A power mark: a ring open at the top and a bar through the gap.
    if abs(u - 0.5) < 0.075 and 0.06 < v < 0.50:
        return RED
    r = math.hypot(u - 0.5, v - 0.54)
    if 0.28 < r < 0.40 and not (v < 0.54 and abs(u - 0.5) < 0.20):
        return RED
    return None


FACE = (240, 240, 240)
BUTTON_FACE = (236, 233, 216)
WINDOW = (255, 255, 255)
PICTURES = {
    "logo": (64, 64, logo, FACE),
    "reel": (96, 96, reel, FACE),
    "empty": (348, 198, empty, WINDOW),
}
GLYPHS = {
    "add": g_add, "remove": g_remove, "clear": g_clear, "start": g_start,
    "stop": g_stop, "pause": g_pause, "resume": g_resume, "exit": g_exit,
}


def main():
    name = sys.argv[1]
    if name in GLYPHS:
        picture = bmp(render(16, 16, glyph(GLYPHS[name]), BUTTON_FACE))
        data = struct.pack("<I", len(picture)) + picture
    else:
        width, height, draw, background = PICTURES[name]
        picture = png(render(width, height, draw, background))
        kind = (sys.argv[2] if len(sys.argv) > 2 else "TPNGGraphic").encode()
        data = bytes([len(kind)]) + kind + (picture if kind == b"TdxSmartImage" else struct.pack("<I", len(picture)) + picture)
    text = data.hex().upper()
    for i in range(0, len(text), 64):
        print("      " + text[i:i + 64])


if __name__ == "__main__":
    main()
