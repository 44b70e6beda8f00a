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
truncated.zip (the first half of deflated.zip), bzip2.zip and lzma.zip
(ENTRIES compressed with methods other than stored and deflate), zip64.zip
(ENTRIES as Info-ZIP's "zip -fz" writes them: every uncompressed size in the
headers 0xFFFFFFFF, the real one in a zip64 extra field), zip64-damaged.zip
(zip64.zip with a changed content byte).
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


def write_forced_zip64(path, entries):
    out = bytearray()
    central = bytearray()
    for name, data in entries:
        name = name.encode()
        crc = zlib.crc32(data)
        # Info-ZIP puts its time block before the zip64 one.
        times = struct.pack("<HHBI", 0x5455, 5, 3, 0)
        local_extra = times + struct.pack("<HHQQ", 1, 16, len(data), len(data))
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, 0, 0, crc, 0xFFFFFFFF, 0xFFFFFFFF,
                           len(name), len(local_extra)) + name + local_extra + data
        central_extra = times + struct.pack("<HHQ", 1, 8, len(data))
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x031E, 45, 0, 0, 0, 0, crc, len(data),
                               0xFFFFFFFF, len(name), len(central_extra), 0, 0, 0, 0o100644 << 16,
                               offset) + name + central_extra
    start = len(out)
    out += central
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), start, 0)
    open(path, "wb").write(bytes(out))


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
    write(p("bzip2.zip"), ENTRIES, zipfile.ZIP_BZIP2)
    write(p("lzma.zip"), ENTRIES, zipfile.ZIP_LZMA)
    write_forced_zip64(p("zip64.zip"), ENTRIES)
    data = bytearray(open(p("zip64.zip"), "rb").read())
    data[data.find(b"hello, zip") + 1] ^= 0x20
    open(p("zip64-damaged.zip"), "wb").write(bytes(data))


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
