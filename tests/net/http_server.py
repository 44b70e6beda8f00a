#!/usr/bin/env python3
"""The tests' HTTP server on 127.0.0.1 (a port of its own, printed first).

Usage: http_server.py [--dir FOLDER] [--log FILE] [--tls CERT KEY]

Paths:
  /bytes/N[?name=HEADER]  N bytes (byte i is i % 251) with a Content-Length
                          header spelt HEADER (default Content-Length)
  /chunked/N              the same N bytes in chunks of up to 1000, one with
                          a chunk extension, and a trailer field
  /close/N                the same N bytes with no length, then the close
  /redirect/K             302 to /redirect/K-1 on this server; /redirect/0
                          answers "arrived"
  /status/CODE            that status, a Location to /bytes/10 and the body
                          "status CODE"
  /conn                   the number of this connection (1 for the first)
  /slow/N                 N bytes with a length, in 10 pieces 100 ms apart
  /stall                  a length of 10, 3 bytes, then nothing for 30 s
  /trickle/MS             a status line, then one byte of a header field
                          every MS milliseconds while the client stays
  /endless                no length, the byte pattern without end while the
                          client stays
  /file/NAME              the file NAME of FOLDER, or 404
  POST anything           the body is appended to FILE as one line, then
                          "json ok" or "json bad"; the answer is "ok", or
                          for POST /trickle/MS that of GET /trickle/MS
Every request line is appended to FILE too, as "GET /path".
"""
import argparse
import http.server
import json
import os
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

args = None
log_lock = threading.Lock()
connections = 0
connections_lock = threading.Lock()


def pattern(n):
    return (bytes(range(251)) * (n // 251 + 1))[:n]


def log(line):
    if args.log:
        with log_lock, open(args.log, "ab") as f:
            f.write(line + b"\n")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        global connections
        super().setup()
        with connections_lock:
            connections += 1
            self.connection_number = connections

    def log_message(self, *unused):
        pass

    def answer(self, status, body, headers=(), length_name="Content-Length"):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if length_name:
            self.send_header(length_name, str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        log(b"POST " + self.path.encode())
        log(body)
        try:
            json.loads(body)
            log(b"json ok")
        except ValueError:
            log(b"json bad")
        if self.path.startswith("/trickle/"):
            self.trickle(int(self.path.split("/")[2]))
            return
        self.answer(200, b"ok", [("Connection", "close")])
        self.close_connection = True

    def trickle(self, pause_ms):
        self.close_connection = True
        try:
            self.wfile.write(b"HTTP/1.1 200 OK\r\nX-Slow: ")
            self.wfile.flush()
            while True:
                time.sleep(pause_ms / 1000)
                self.wfile.write(b"t")
                self.wfile.flush()
        except OSError:
            pass

    def do_GET(self):
        log(b"GET " + self.path.encode())
        url = urllib.parse.urlsplit(self.path)
        parts = url.path.strip("/").split("/", 1)
        kind, arg = parts[0], parts[1] if len(parts) > 1 else ""
        query = urllib.parse.parse_qs(url.query)
        if kind == "bytes":
            self.answer(200, pattern(int(arg)), length_name=query.get("name", ["Content-Length"])[0])
        elif kind == "chunked":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            data = pattern(int(arg))
            for i, start in enumerate(range(0, len(data), 1000)):
                piece = data[start:start + 1000]
                extension = b";name=value" if i == 1 else b""
                self.wfile.write(b"%x%s\r\n%s\r\n" % (len(piece), extension, piece))
            self.wfile.write(b"0\r\nX-Trailer: yes\r\n\r\n")
        elif kind == "close":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(pattern(int(arg)))
            self.close_connection = True
        elif kind == "redirect":
            left = int(arg)
            if left == 0:
                self.answer(200, b"arrived")
            else:
                target = "http://127.0.0.1:%d/redirect/%d" % (self.server.server_address[1], left - 1)
                self.answer(302, b"moved", [("Location", target)])
        elif kind == "status":
            code = int(arg)
            target = "http://127.0.0.1:%d/bytes/10" % self.server.server_address[1]
            self.answer(code, b"status %d" % code if code != 204 else b"", [("Location", target)],
                        length_name="Content-Length" if code != 204 else None)
        elif kind == "conn":
            self.answer(200, b"%d" % self.connection_number)
        elif kind == "slow":
            data = pattern(int(arg))
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            step = max(1, len(data) // 10)
            for start in range(0, len(data), step):
                self.wfile.write(data[start:start + step])
                self.wfile.flush()
                time.sleep(0.1)
        elif kind == "stall":
            self.send_response(200)
            self.send_header("Content-Length", "10")
            self.end_headers()
            self.wfile.write(b"abc")
            self.wfile.flush()
            time.sleep(30)
            self.close_connection = True
        elif kind == "trickle":
            self.trickle(int(arg))
        elif kind == "endless":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            data = pattern(251 * 4096)
            try:
                while True:
                    self.wfile.write(data)
            except OSError:
                pass
        elif kind == "file":
            path = os.path.join(args.dir or ".", arg)
            if args.dir and os.path.isfile(path):
                with open(path, "rb") as f:
                    self.answer(200, f.read())
            else:
                self.answer(404, b"missing")
        else:
            self.answer(404, b"unknown")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir")
    parser.add_argument("--log")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    args = parser.parse_args()
    server = Server(("127.0.0.1", args.port), Handler)
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    sys.stdout.write("%d\n" % server.server_address[1])
    sys.stdout.flush()
    server.serve_forever()


if __name__ == "__main__":
    main()
