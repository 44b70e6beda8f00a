#!/usr/bin/env python3
"""Writes tests/render/data/tiny.ttf: a small TrueType font for the font tests
and as the fuzzing seed of the font reader. Glyphs: 0 a box (.notdef), 1 'A'
a triangle, 2 'B' a square with a square hole, 3 'C' made of glyphs 1 and 2
(composite), 4 ' ' without outline. Units per em 1000, ascent 800, descent -200."""
import struct
import sys
from pathlib import Path


def simple_glyph(contours):
    """contours: lists of (x, y) on-curve points."""
    points = [p for c in contours for p in c]
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    out = struct.pack(">hhhhh", len(contours), min(xs), min(ys), max(xs), max(ys))
    end = -1
    for c in contours:
        end += len(c)
        out += struct.pack(">H", end)
    out += struct.pack(">H", 0)  # no instructions
    out += bytes([0x01] * len(points))  # on curve, two-byte coordinates
    x = y = 0
    dx = b""
    dy = b""
    for px, py in points:
        dx += struct.pack(">h", px - x)
        dy += struct.pack(">h", py - y)
        x, y = px, py
    return out + dx + dy


def composite_glyph(parts, bbox):
    out = struct.pack(">hhhhh", -1, *bbox)
    for i, (glyph, dx, dy) in enumerate(parts):
        flags = 0x0001 | 0x0002  # words, x/y values
        if i + 1 < len(parts):
            flags |= 0x0020  # more components
        out += struct.pack(">HHhh", flags, glyph, dx, dy)
    return out


def pad(data):
    return data + b"\0" * (-len(data) % 4)


def cmap_format4(mapping):
    """mapping: code point -> glyph, one segment per code point plus the end."""
    segments = sorted(mapping.items()) + [(0xFFFF, 0)]
    n = len(segments)
    ends = b"".join(struct.pack(">H", c) for c, _ in segments)
    starts = b"".join(struct.pack(">H", c) for c, _ in segments)
    deltas = b"".join(struct.pack(">h", ((g - c + 0x8000) % 0x10000) - 0x8000 if c != 0xFFFF else 1)
                      for c, g in segments)
    offsets = b"\0\0" * n
    search = 1
    selector = 0
    while search * 2 <= n:
        search *= 2
        selector += 1
    body = struct.pack(">HHHH", 2 * n, 2 * search, selector, 2 * (n - search))
    body += ends + b"\0\0" + starts + deltas + offsets
    sub = struct.pack(">HHH", 4, 6 + len(body), 0) + body
    return struct.pack(">HH", 0, 1) + struct.pack(">HHI", 3, 1, 12) + sub


def build():
    glyphs = [
        simple_glyph([[(50, 0), (450, 0), (450, 700), (50, 700)]]),
        simple_glyph([[(0, 0), (600, 0), (300, 700)]]),
        simple_glyph([[(50, 0), (550, 0), (550, 500), (50, 500)],
                      [(150, 100), (150, 400), (450, 400), (450, 100)]]),
        composite_glyph([(1, 0, 0), (2, 0, 100)], (0, 0, 600, 700)),
        b"",
    ]
    advances = [(500, 50), (600, 0), (600, 50), (600, 0), (300, 0)]
    glyf = b""
    loca = []
    for g in glyphs:
        loca.append(len(glyf))
        glyf += pad(g)
    loca.append(len(glyf))
    tables = {
        b"cmap": cmap_format4({0x41: 1, 0x42: 2, 0x43: 3, 0x20: 4}),
        b"glyf": glyf,
        b"head": struct.pack(">IIIIHHqqhhhhHHhhh", 0x00010000, 0x00010000, 0, 0x5F0F3CF5, 0, 1000,
                             0, 0, 0, 0, 600, 700, 0, 8, 2, 0, 0),
        b"hhea": struct.pack(">IhhhHhhhhhhhhhhhH", 0x00010000, 800, -200, 0, 600,
                             0, 0, 600, 1, 0, 0, 0, 0, 0, 0, 0, len(glyphs)),
        b"hmtx": b"".join(struct.pack(">Hh", a, l) for a, l in advances),
        b"loca": b"".join(struct.pack(">H", o // 2) for o in loca),
        b"maxp": struct.pack(">IHHHHHHHHHHHHHH", 0x00010000, len(glyphs), 8, 2, 8, 2, 2, 0, 0, 0,
                             0, 0, 0, 2, 1),
    }
    count = len(tables)
    search = 1
    selector = 0
    while search * 2 <= count:
        search *= 2
        selector += 1
    out = struct.pack(">IHHHH", 0x00010000, count, search * 16, selector, (count - search) * 16)
    offset = 12 + 16 * count
    records = b""
    data = b""
    for tag in sorted(tables):
        body = tables[tag]
        records += struct.pack(">4sIII", tag, 0, offset + len(data), len(body))
        data += pad(body)
    return out + records + data


def main():
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "tests/render/data/tiny.ttf"
    target.write_bytes(build())


if __name__ == "__main__":
    main()
