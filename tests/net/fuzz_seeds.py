#!/usr/bin/env python3
"""Writes the seeds of one network fuzz target into FOLDER: KIND "http" (the
replies the tests use, each after the size of its pieces), "url" (a URL and
a redirect's header), "websocket" (a WebSocket URL and a handshake reply),
"update" (command texts), "zip" (archives) or "index" (index files with cached
trees, made by the git command line). Usage: fuzz_seeds.py FOLDER KIND"""
import io
import os
import subprocess
import sys
import tempfile
import zipfile

HTTP = [
    b"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody",
    b"HTTP/1.1 200 OK\r\ncontent-length:4\r\n\r\nbodyNEXT",
    b"HTTP/1.0 203 Fine\nCONTENT-LENGTH: 2\n\nok",
    b"HTTP/1.1 200 OK\r\nServer: x\r\n\r\nall of it",
    b"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n"
    b"5\r\nhello\r\n1;ext=\"a b\"\r\n \r\nA \r\n0123456789\r\n0\r\nX-Sum: 1\r\n\r\n",
    b"HTTP/1.1 204 No Content\r\n\r\n",
    b"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:8000/b\r\nContent-Length: 1\r\n\r\nx",
    b"HTTP/1.1 200 OK\r\nX-Big: " + b"a" * 1100 + b"\r\n\r\nok",
    b"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort",
    b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n",
]

# The URLs of the client's tests, each before a redirect's header.
URL = [
    b"http://127.0.0.1:8000/a/b?c=d\nHTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:{PORT}/b\r\n",
    b"127.0.0.1:8080\nHTTP/1.1 301 Moved\r\nLocation:   /relative here\r\n",
    b"HTTPS://host/x\nHTTP/1.1 307 Temporary\r\nlocation: https://h:443\r\n",
    b"http://127.0.0.1:99999/\nHTTP/1.1 302 Found\r\nLocation: \r\n",
    b"http:///path\nHTTP/1.1 302 Found\r\nLocation: http://a:8o/\r\n",
    b"http://127.0.0.1/a\r\nX-Injected: 1\nHTTP/1.1 302 Found\r\nLocation: x://[::1]:80/\r\n",
]

# WebSocket URLs of the client's tests, each before a server's handshake reply.
WEBSOCKET = [
    b"ws://127.0.0.1:9000/chat\nHTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n\r\n\x81\x02hi",
    b"ws://localhost\nHTTP/1.1 404 Not Found\r\n\r\n",
    b"ws://h:80/a/b?c\nHTTP/1.1 101 " + b"x" * 300,
    b"ws://h/x\nHTTP/1.1 101 Switching\r\nUpgrade: websocket\r\n",
    b"ws://h:-1\nHTTP/1.0 101\r\n" + b"X: " + b"y" * 600 + b"\r\n\r\n",
    b"http://127.0.0.1/\n\r\n",
]

UPDATE = [
    b"update 1.0\r\nend",
    b"update 2.0 checkmd5 res/a.pak 0cc175b9c0f1b6a831c399e269772661\r\nend",
    b"update 3.1\r\ndownload http://h/p.zip res/p.zip\r\nunzip res/p.zip res\r\ndelete res/p.zip\r\n"
    b"exec bin/tool\r\nend\r\n",
    b"download http://h/a ../escape\r\nunzip res/a.zip ../..\r\ndelete /fuzz/root/./a//b/../c\r\n",
    b"download  http://h/a a\r\nexec a \r\ndelete a\nend\nend",
    b"unzip a.zip .\r\nexec C:/x.exe\r\nend",
]


def archive(entries, compression=zipfile.ZIP_DEFLATED):
    """A zip of (name, bytes, mode or None) entries."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression) as z:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0))
            info.compress_type = compression
            if mode is not None:
                info.create_system = 3
                info.external_attr = mode << 16
            z.writestr(info, data)
    return out.getvalue()


GOOD = archive([("x.txt", b"x" * 100, None), ("sub/", b"", None), ("sub/y.txt", b"y", None),
                ("bin/tool", b"#!/bin/sh\n", 0o755)])
ZIP = [
    GOOD,
    archive([("a.txt", b"stored", None), ("b\\c.txt", b"backslash", None)], zipfile.ZIP_STORED),
    archive([("good.txt", b"good", None), ("../x", b"evil", None)]),
    archive([("/abs.txt", b"abs", None), ("C:/drive.txt", b"drive", None)]),
    archive([("./a/../b.txt", b"dots", None)]),
    GOOD[: len(GOOD) // 2],
]


def index_files():
    """Index files of versions 2 to 4, with every tree cached, one folder's
    cache stale, and none."""
    files = []
    with tempfile.TemporaryDirectory() as repo:
        env = dict(os.environ, HOME=repo, GIT_CONFIG_NOSYSTEM="1")

        def git(*args):
            subprocess.run(["git", "-C", repo] + list(args), check=True, env=env, stdout=subprocess.DEVNULL)

        def index():
            with open(os.path.join(repo, ".git", "index"), "rb") as f:
                files.append(f.read())

        git("init", "-q")
        for path in ["docs/a.txt", "docs/sub/b.txt", "src/c.txt", "top.txt"]:
            os.makedirs(os.path.dirname(os.path.join(repo, path)), exist_ok=True)
            with open(os.path.join(repo, path), "w") as f:
                f.write(path + "\n")
        git("add", ".")
        index()
        git("write-tree")
        index()
        with open(os.path.join(repo, "src/c.txt"), "w") as f:
            f.write("changed\n")
        git("update-index", "src/c.txt")
        index()
        git("write-tree")
        git("update-index", "--skip-worktree", "top.txt")
        index()
        git("update-index", "--index-version", "4")
        index()
    return files


def write_seeds(folder, seeds):
    """Writes each seed into FOLDER as a file of its own."""
    os.makedirs(folder, exist_ok=True)
    for i, seed in enumerate(seeds):
        with open(os.path.join(folder, "seed%02d" % i), "wb") as f:
            f.write(seed)


def main():
    folder, kind = sys.argv[1], sys.argv[2]
    if kind == "index":
        write_seeds(folder, index_files())
        return
    write_seeds(folder, {"http": [bytes([7]) + seed for seed in HTTP], "url": URL, "websocket": WEBSOCKET,
                         "update": UPDATE, "zip": ZIP}[kind])


if __name__ == "__main__":
    main()
