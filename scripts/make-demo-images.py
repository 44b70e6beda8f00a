#!/usr/bin/env python3
"""Writes the demo project's PNG images (8-bit RGBA) and its tile map with the standard library only.

Usage: make-demo-images.py [FOLDER]  (default: the demo's demo/loader/img; the
display example's copies go to docs/examples/display/loader/img). The white
image 0x56000001 goes to the sys folder beside FOLDER. 0004.png (a spark
for particles) and 0005.png (four frames of a turning star) are the demo's. The tiles 0011.png to
0015.png and the scrolling map 0001.tmx that is drawn from them go to FOLDER
as well.

       make-demo-images.py --tilemap-example FOLDER  writes only the tiles and
the tile map example's map (docs/examples/tilemap/loader/img).
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


TILE = 32


def noise(x, y, seed):
    # A fixed speckle pattern, the same on every run.
    return ((x * 73856093) ^ (y * 19349663) ^ (seed * 83492791)) % 97


def grass(x, y):
    # Grass over a strip of earth: a light top edge, darker blades below.
    if y < 4:
        return bytes([120, 200, 80, 255])
    if y < 20:
        shade = 20 if noise(x, y, 1) < 15 else 0
        return bytes([60 + shade, 150 + shade, 50, 255])
    return dirt(x, y)


def dirt(x, y):
    speck = 30 if noise(x, y, 2) < 12 else 0
    return bytes([130 - speck, 90 - speck, 50 - speck // 2, 255])


def water(x, y):
    # Waves: a light line every 8 rows, shifted along x.
    wave = (y + (x // 8) % 2 * 2) % 8 == 0
    return bytes([90, 160, 230, 255]) if wave else bytes([40, 100, 200, 255])


def stone(x, y):
    # Bricks of 16 x 8 with dark mortar, every other row shifted by 8.
    shift = 8 if (y // 8) % 2 else 0
    mortar = y % 8 == 7 or (x + shift) % 16 == 15
    return bytes([70, 70, 80, 255]) if mortar else bytes([150, 150, 160, 255])


def flower(x, y):
    # A small flower on a transparent tile, for a layer above the ground.
    cx, cy = 16, 20
    d = math.hypot(x - cx, y - cy)
    if d < 3:
        return bytes([250, 220, 60, 255])
    if d < 7:
        return bytes([230, 70, 120, 255])
    if abs(x - cx) <= 1 and cy < y < 32:
        return bytes([40, 120, 40, 255])
    return b"\0\0\0\0"


# GIDs of the tiles in the maps' one tileset (a collection of images).
EMPTY, GRASS, DIRT, WATER, STONE, FLOWER = 0, 1, 2, 3, 4, 5
TILES = [("0011.png", grass), ("0012.png", dirt), ("0013.png", water), ("0014.png", stone), ("0015.png", flower)]


def write_tiles(out):
    for name, pixel in TILES:
        write_png(os.path.join(out, name), TILE, TILE, pixel)


def layer_xml(name, cols, rows, gids):
    lines = ",\n".join(",".join(str(g) for g in gids[r * cols:(r + 1) * cols]) for r in range(rows))
    return '<layer name="%s" width="%d" height="%d">\n <data encoding="csv">\n%s\n</data>\n</layer>\n' % (
        name, cols, rows, lines)


def write_map(path, cols, rows, layers):
    """A map of the tiles' tileset; `layers` holds (name, gids) tile layers or ready-made XML text."""
    tiles = "".join(' <tile id="%d">\n  <image source="%s" width="%d" height="%d"/>\n </tile>\n' %
                    (i, name, TILE, TILE) for i, (name, _) in enumerate(TILES))
    text = ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<map version="1.2" orientation="orthogonal" renderorder="right-down" width="%d" height="%d" '
            'tilewidth="%d" tileheight="%d">\n' % (cols, rows, TILE, TILE))
    text += ('<tileset firstgid="1" name="demo" tilewidth="%d" tileheight="%d" tilecount="%d" columns="0">\n'
             % (TILE, TILE, len(TILES)) + tiles + '</tileset>\n')
    for layer in layers:
        text += layer if isinstance(layer, str) else layer_xml(layer[0], cols, rows, layer[1])
    with open(path, "w", encoding="utf-8") as f:
        f.write(text + "</map>\n")


def landscape(cols, rows, period):
    """Ground and flower layers of a strip of hills that repeats every `period` columns."""
    ground, flowers = [EMPTY] * (cols * rows), [EMPTY] * (cols * rows)
    for col in range(cols):
        c = col % period
        pond = period // 2 <= c < period // 2 + 4
        # Hills rise and fall twice a period; the pond lies low and level.
        height = 2 if pond else 2 + round(1.5 + 1.5 * math.sin(c * 2 * math.pi / period * 2))
        for row in range(rows):
            depth = row - (rows - height)
            if pond and depth >= 0:
                ground[row * cols + col] = WATER if row < rows - 1 else STONE
            elif depth == 0:
                ground[row * cols + col] = GRASS
                if c % 5 == 2 and row > 0:
                    flowers[(row - 1) * cols + col] = FLOWER
            elif depth > 0:
                ground[row * cols + col] = STONE if depth > 2 else DIRT
    return [("ground", ground), ("flowers", flowers)]


def write_demo_map(out):
    # 64 columns repeating every 32: the demo scrolls it by 32 tiles and
    # jumps back, seamlessly.
    write_map(os.path.join(out, "0001.tmx"), 64, 6, landscape(64, 6, 32))


def write_example_map(out):
    # A 20 x 12 room: stone walls, a dirt floor, a pond, and flowers on a
    # tile layer of their own after an object group (so the flowers are
    # layer 2).
    cols, rows = 20, 12
    ground, flowers = [], []
    for row in range(rows):
        for col in range(cols):
            wall = row in (0, rows - 1) or col in (0, cols - 1)
            pond = 12 <= col <= 15 and 3 <= row <= 5
            ground.append(STONE if wall else WATER if pond else GRASS if (col + row) % 7 == 0 else DIRT)
            flowers.append(FLOWER if not wall and not pond and (col * 3 + row) % 11 == 0 else EMPTY)
    spots = ('<objectgroup name="spots">\n'
             ' <object id="1" name="start" x="64" y="320" width="32" height="32"/>\n'
             '</objectgroup>\n')
    write_map(os.path.join(out, "0001.tmx"), cols, rows, [("ground", ground), spots, ("flowers", flowers)])


def spark(x, y):
    # A soft white dot, for particles: the engine tints it with their colours.
    d = math.hypot(x - 7.5, y - 7.5) / 8.0
    return bytes([255, 255, 255, int(255 * max(0.0, 1.0 - d) ** 1.5)])


FRAMES, FRAME = 4, 32


def spinner(x, y):
    # Four frames side by side of a three-armed star turning 30 degrees a
    # frame, so the fifth would be the first again; the demo plays them as an
    # image grid.
    frame, fx = divmod(x, FRAME)
    dx, dy = fx - 15.5, y - 15.5
    r = math.hypot(dx, dy)
    if r > 15:
        return b"\0\0\0\0"
    turn = math.atan2(dy, dx) * 3 + frame * 2 * math.pi / FRAMES
    arm = 0.5 + 0.5 * math.cos(turn)
    if r > 4 + 11 * arm:
        return b"\0\0\0\0"
    return bytes([255, int(160 + 90 * arm), int(60 + 60 * (1 - r / 15)), 255])


def white(x, y):
    # The engine's plain white image: text carets, selections and underlines.
    return b"\xff\xff\xff\xff"


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--tilemap-example":
        os.makedirs(sys.argv[2], exist_ok=True)
        write_tiles(sys.argv[2])
        write_example_map(sys.argv[2])
        sys.exit(0)
    out = sys.argv[1] if len(sys.argv) > 1 else OUT
    os.makedirs(out, exist_ok=True)
    write_tiles(out)
    write_demo_map(out)
    write_png(os.path.join(out, "0001.png"), 256, 256, background)
    write_png(os.path.join(out, "0002.png"), 64, 64, ball)
    write_png(os.path.join(out, "0003.png"), 128, 48, button)
    write_png(os.path.join(out, "0004.png"), 16, 16, spark)
    write_png(os.path.join(out, "0005.png"), FRAMES * FRAME, FRAME, spinner)
    # The white image lives in the project's sys folder beside img.
    sys_folder = os.path.join(out, "..", "sys")
    os.makedirs(sys_folder, exist_ok=True)
    write_png(os.path.join(sys_folder, "0001.png"), 4, 4, white)
