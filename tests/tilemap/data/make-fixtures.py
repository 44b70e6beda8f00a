#!/usr/bin/env python3
"""Writes the generated TMX fixtures beside this script:

hostile/many-data.tmx    one layer with sixteen base64 data elements on a
                         map of a million cells: each element alone gives a
                         tile per cell.
hostile/many-tilesets.tmx  200 tilesets of 262,144 tiles each in 20 KB; each
                         holds a tile whose image has no source, so a set that
                         was read before it was refused leaves a warning.
older/older.tmx          tilesets as older editors wrote them: no tilecount,
                         no columns; one image with its size, one without.
older/grid.png           54 x 36 pixels, the image without a size.

Run it again after changing it; the outputs are committed.
"""
import base64
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write(relative, data):
    path = os.path.join(HERE, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(path, mode) as out:
        out.write(data)


def png(width, height):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + b"\0" * (width * 4) for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def many_data():
    payload = base64.b64encode(zlib.compress(b"\0" * 4)).decode()
    data = "".join('  <data encoding="base64" compression="zlib">%s</data>\n' % payload for _ in range(16))
    return ('<map version="1.2" orientation="orthogonal" width="1024" height="1024" tilewidth="8" tileheight="8">\n'
            ' <layer name="l">\n' + data + ' </layer>\n</map>\n')


def many_tilesets():
    sets = "".join(
        ' <tileset firstgid="%d" name="s%d" tilewidth="8" tileheight="8" tilecount="262144">'
        '<tile id="0"><image/></tile></tileset>\n' % (1 + i * 262144, i) for i in range(200))
    return ('<map version="1.2" orientation="orthogonal" width="2" height="2" tilewidth="8" tileheight="8">\n' + sets +
            '</map>\n')


def older():
    return '''<map version="1.0" orientation="orthogonal" width="6" height="3" tilewidth="16" tileheight="16">
 <tileset firstgid="1" name="sized" tilewidth="16" tileheight="16">
  <image source="tiles.png" width="64" height="48"/>
 </tileset>
 <tileset firstgid="13" name="header" tilewidth="16" tileheight="16" margin="1" spacing="2">
  <image source="grid.png"/>
 </tileset>
 <tileset firstgid="19" name="unreadable" tilewidth="16" tileheight="16">
  <image source="missing.png"/>
 </tileset>
 <layer name="ground">
  <data encoding="csv">1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18</data>
 </layer>
</map>
'''


write("hostile/many-data.tmx", many_data())
write("hostile/many-tilesets.tmx", many_tilesets())
write("older/older.tmx", older())
write("older/grid.png", png(54, 36))
