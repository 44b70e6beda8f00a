#!/usr/bin/env python3
"""Archives for tests/lua/zip.lua, made with python's zipfile.

Usage:
  zip_fixtures.py FOLDER     writes the archives below into FOLDER
  zip_fixtures.py --read ZIP prints "name length crc32" per entry, in order,
                             after zipfile has read and checked each one

Archives: stored.zip and deflated.zip ("a.txt", "dir/b.bin" of bytes 0..255
four times, "empty"), empty.zip (no entries), many.zip (300 entries
"e000" ... "e299" holding their own names), lying-huge.zip (an entry that
claims 4 GiB), lying-long.zip (claims 1000 bytes, holds 10), lying-short.zip
(claims 3 bytes, holds 10), damaged.zip (a stored entry with a changed byte),
truncated.zip (the first half of deflated.zip).
"""
import os
import struct
import sys
import zipfile
import zlib

B_BIN = bytes(range(256)) * 4
ENTRIES = [("a.txt", b"hello, zip"), ("dir/b.bin", B_BIN), ("empty", b"")]


def write(path, entries, compression):
    with zipfile.ZipFile(path, "w", compression) as z:
        for name, data in entries:
            z.writestr(name, data)


def patch_size(path, size):
    """Sets the uncompressed size of the only entry in both its headers."""
    data = bytearray(open(path, "rb").read())
    local = data.find(b"PK\x03\x04")
    struct.pack_into("<I", data, local + 22, size)
    central = data.find(b"PK\x01\x02")
    struct.pack_into("<I", data, central + 24, size)
    open(path, "wb").write(bytes(data))


def make(folder):
    p = lambda name: os.path.join(folder, name)
    write(p("stored.zip"), ENTRIES, zipfile.ZIP_STORED)
    write(p("deflated.zip"), ENTRIES, zipfile.ZIP_DEFLATED)
    write(p("empty.zip"), [], zipfile.ZIP_STORED)
    write(p("many.zip"), [("e%03d" % i, b"e%03d" % i) for i in range(300)], zipfile.ZIP_DEFLATED)
    for name, size in (("lying-huge.zip", 0xFFFFFFF0), ("lying-long.zip", 1000), ("lying-short.zip", 3)):
        write(p(name), [("x", b"0123456789")], zipfile.ZIP_DEFLATED)
        patch_size(p(name), size)
    write(p("damaged.zip"), [("x", b"0123456789")], zipfile.ZIP_STORED)
    data = bytearray(open(p("damaged.zip"), "rb").read())
    data[data.find(b"0123456789") + 4] ^= 0x20
    open(p("damaged.zip"), "wb").write(bytes(data))
    whole = open(p("deflated.zip"), "rb").read()
    open(p("truncated.zip"), "wb").write(whole[: len(whole) // 2])


def read(path):
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            data = z.read(info)
            print("%s %d %08x" % (info.filename, len(data), zlib.crc32(data)))


if __name__ == "__main__":
    if sys.argv[1] == "--read":
        read(sys.argv[2])
    else:
        make(sys.argv[1])
