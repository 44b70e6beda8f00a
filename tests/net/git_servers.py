#!/usr/bin/env python3
"""Git servers for the tests on 127.0.0.1 (a port of its own, printed first).

Usage:
  git_servers.py daemon ROOT [--cut-after N | --stall-after N]
      the git protocol: each connection is served by `git daemon --inetd`
      over the repositories below ROOT (all exported, pushes allowed)
  git_servers.py http ROOT [--auth USER:PASSWORD] [--tls CERT KEY]
                           [--cut-after N | --stall-after N]
      smart HTTP: `git http-backend` over the repositories below ROOT; with
      --auth every request needs that Basic credential (401 otherwise)

--cut-after N plays a server that goes away in the middle of a transfer:
after N bytes of a pack (the upload-pack answer) the connection is closed.
--stall-after N plays one that stops answering there: after N bytes nothing
more is sent, and the connection is held open.
"""
import argparse
import base64
import http.server
import os
import socket
import socketserver
import ssl
import subprocess
import sys
import threading

args = None


def limit():
    return args.cut_after if args.cut_after is not None else args.stall_after


def end_at_limit(connection):
    if args.stall_after is not None:
        threading.Event().wait()
    connection.shutdown(socket.SHUT_RDWR)


def serve_daemon_connection(connection):
    command = ["git", "daemon", "--inetd", "--export-all", "--enable=receive-pack",
               "--informative-errors", "--base-path=" + args.root, args.root]
    if limit() is None:
        subprocess.run(command, stdin=connection.fileno(), stdout=connection.fileno(),
                       stderr=subprocess.DEVNULL)
        connection.close()
        return
    child = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)

    def to_child():
        try:
            while True:
                data = connection.recv(65536)
                if not data:
                    break
                child.stdin.write(data)
                child.stdin.flush()
        except OSError:
            pass

    threading.Thread(target=to_child, daemon=True).start()
    sent = 0
    while sent < limit():
        data = os.read(child.stdout.fileno(), min(65536, limit() - sent))
        if not data:
            break
        connection.sendall(data)
        sent += len(data)
    end_at_limit(connection)
    connection.close()
    child.kill()
    child.wait()


def run_daemon():
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print(listener.getsockname()[1], flush=True)
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve_daemon_connection, args=(connection,), daemon=True).start()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *_):
        pass

    def authorised(self):
        if not args.auth:
            return True
        expected = "Basic " + base64.b64encode(args.auth.encode()).decode()
        return self.headers.get("Authorization") == expected

    def request_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            body = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip(), 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return body
                body += self.rfile.read(size)
                self.rfile.readline()
        return self.rfile.read(int(self.headers.get("Content-Length", "0")))

    def handle_git(self):
        body = self.request_body() if self.command == "POST" else b""
        if not self.authorised():
            self.send_response(401)
            self.send_header("WWW-Authenticate", 'Basic realm="git"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        path, _, query = self.path.partition("?")
        environment = dict(os.environ)
        environment.update({
            "GIT_PROJECT_ROOT": args.root,
            "GIT_HTTP_EXPORT_ALL": "1",
            "PATH_INFO": path,
            "QUERY_STRING": query,
            "REQUEST_METHOD": self.command,
            "CONTENT_TYPE": self.headers.get("Content-Type", ""),
            "CONTENT_LENGTH": str(len(body)),
            "REMOTE_ADDR": "127.0.0.1",
            # A named user may push.
            "REMOTE_USER": "tester",
        })
        result = subprocess.run(["git", "http-backend"], input=body, capture_output=True, env=environment)
        head, _, payload = result.stdout.partition(b"\r\n\r\n")
        status = 200
        headers = []
        for line in head.split(b"\r\n"):
            name, _, value = line.decode("latin-1").partition(":")
            if name.lower() == "status":
                status = int(value.strip().split()[0])
            elif name:
                headers.append((name, value.strip()))
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(payload)))
        self.end_headers()
        if limit() is not None and path.endswith("/git-upload-pack") and self.command == "POST":
            self.wfile.write(payload[:limit()])
            self.wfile.flush()
            end_at_limit(self.connection)
            self.close_connection = True
            return
        self.wfile.write(payload)

    do_GET = handle_git
    do_POST = handle_git


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def run_http():
    server = Server(("127.0.0.1", 0), Handler)
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


def main():
    global args
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=["daemon", "http"])
    parser.add_argument("root")
    parser.add_argument("--auth")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--cut-after", type=int)
    parser.add_argument("--stall-after", type=int)
    args = parser.parse_args()
    args.root = os.path.abspath(args.root)
    run_daemon() if args.kind == "daemon" else run_http()


if __name__ == "__main__":
    main()
