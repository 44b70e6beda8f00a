#!/usr/bin/env python3
"""Writes the demo project's PNG images (8-bit RGBA) with the standard library only.

Usage: make-demo-images.py [FOLDER]  (default: the demo's demo/loader/img; the
display example's copies go to docs/examples/display/loader/img). The white
image 0x56000001 goes to the sys folder beside FOLDER.
"""
import math
import os
import struct
import sys
import zlib

OUT = os.path.join(os.path.dirname(__file__), "..", "demo", "loader", "img")


def write_png(path, width, height, pixel):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) +
                chunk(b"IEND", b""))


def background(x, y):
    # A soft vertical gradient with a faint grid.
    t = y / 255.0
    line = (x % 32 == 0) or (y % 32 == 0)
    base = (int(20 + 30 * t), int(30 + 50 * t), int(60 + 90 * t))
    return bytes([min(255, c + (25 if line else 0)) for c in base] + [255])


def ball(x, y):
    # A shaded disc with a soft edge on a transparent square.
    cx = cy = 31.5
    d = math.hypot(x - cx, y - cy) / 32.0
    if d >= 1.0:
        return b"\0\0\0\0"
    light = max(0.0, 1.0 - math.hypot(x - 22, y - 22) / 44.0)
    alpha = int(255 * min(1.0, (1.0 - d) * 8))
    return bytes([int(230 * (0.5 + 0.5 * light)), int(120 * (0.4 + 0.6 * light)), 40, alpha])


def button(x, y):
    # A rounded box: light face, darker rim.
    w, h, r = 128, 48, 12
    dx = max(r - x, 0, x - (w - 1 - r))
    dy = max(r - y, 0, y - (h - 1 - r))
    if math.hypot(dx, dy) > r:
        return b"\0\0\0\0"
    rim = math.hypot(dx, dy) > r - 3 or x < 3 or y < 3 or x > w - 4 or y > h - 4
    return bytes([40, 120, 200, 255]) if rim else bytes([90, 170, 240, 255])


def white(x, y):
    # The engine's plain white image: text carets, selections and underlines.
    return b"\xff\xff\xff\xff"


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else OUT
    os.makedirs(out, exist_ok=True)
    write_png(os.path.join(out, "0001.png"), 256, 256, background)
    write_png(os.path.join(out, "0002.png"), 64, 64, ball)
    write_png(os.path.join(out, "0003.png"), 128, 48, button)
    # The white image lives in the project's sys folder beside img.
    sys_folder = os.path.join(out, "..", "sys")
    os.makedirs(sys_folder, exist_ok=True)
    write_png(os.path.join(sys_folder, "0001.png"), 4, 4, white)
