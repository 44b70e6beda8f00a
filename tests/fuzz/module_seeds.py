#!/usr/bin/env python3
"""Writes the seeds of one fuzz target of the engine's readers into FOLDER:
KIND "crypt" (texts for the decoders, DES keys before texts, from
tests/lua/crypt.lua), "lsocket" (address texts after an even byte, socket
addresses after an odd one, from tests/lua/lsocket.lua) or "git_tree" (the
trees of the repository of tests/core/FileStreamGitTest.cpp, and folders that
share one subtree, in git_tree_fuzz.cpp's encoding).
Usage: module_seeds.py FOLDER KIND"""
import os
import socket
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "net"))
from fuzz_seeds import write_seeds  # noqa: E402

CRYPT = [
    b"ff", b"", b"FF", b"0g", b"abc", b"0123456789abcdef",
    b"Zm9vYmFy", b"Zm9vYg==", b"Zm9=v", b"====", b"YQ", b"a\n b",
    bytes.fromhex("133457799BBCDFF1") + bytes.fromhex("85E813540F0AB405"),
    bytes.fromhex("0101010101010101") + bytes(16),
    b"12345678" + b"\x80" + bytes(7),
]


def inet(family, address, port):
    if family == socket.AF_INET:
        return struct.pack("=H", family) + struct.pack("!H", port) + socket.inet_pton(family, address) + bytes(8)
    return (struct.pack("=H", family) + struct.pack("!H", port) + bytes(4) + socket.inet_pton(family, address) +
            bytes(4))


LSOCKET = [
    b"\x00127.0.0.1", b"\x10::1", b"\x20::ffff:1.2.3.4", b"\x00127.0.0.1.5", b"\x00/tmp/lsocket.sock",
    b"\x00@abstract", b"\x00" + b"/" + b"p" * 120, b"\x00", b"\x00fe80::1%lo",
    b"\x01" + inet(socket.AF_INET, "127.0.0.1", 8080),
    b"\x01" + inet(socket.AF_INET6, "::1", 443),
    b"\x01" + struct.pack("=H", socket.AF_UNIX) + b"/tmp/lsocket.sock\x00",
    b"\x01" + struct.pack("=H", socket.AF_UNIX) + b"\x00abstract",
    b"\x01" + struct.pack("=H", socket.AF_UNIX) + b"x" * 108,
    b"\x01" + struct.pack("=H", 99) + b"other",
]


# Mode choices of the target's table.
FILE, FOLDER, EXECUTABLE, LINK, SUBMODULE = 0, 1, 2, 3, 4


def tree(*entries):
    """One tree: (mode, name, object index) entries."""
    out = bytes([len(entries)])
    for mode, name, target in entries:
        out += bytes([mode, len(name)]) + name + bytes([target])
    return out


GIT_TREE = [
    # 0 is the blob; each tree is the next index.
    tree((FILE, b"top.txt", 0)),
    tree((FILE, b"a.png", 0)) + tree((FOLDER, b"img", 1), (FILE, b"top.txt", 0), (EXECUTABLE, b"tool.sh", 0),
                                     (LINK, b"link.txt", 0), (SUBMODULE, b"sub", 0)),
    tree((FILE, b"z.txt", 0)) + tree((FOLDER, b"y", 1)) + tree((FOLDER, b"x", 2)) + tree((FOLDER, b"deep", 3)),
    tree((FILE, b"f", 0)) + tree((FOLDER, b"a", 1), (FOLDER, b"b", 1)) + tree((FOLDER, b"a", 2), (FOLDER, b"b", 2)),
    tree((FILE, b"..", 0), (FILE, b"a/b", 0), (FILE, b"", 0)),
]


def main():
    folder, kind = sys.argv[1], sys.argv[2]
    write_seeds(folder, {"crypt": CRYPT, "lsocket": LSOCKET, "git_tree": GIT_TREE}[kind])


if __name__ == "__main__":
    main()
