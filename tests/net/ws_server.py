#!/usr/bin/python3
"""The tests' WebSocket server on 127.0.0.1 (a port of its own, printed first).

Needs Debian's python3-websockets: run it with /usr/bin/python3.

Usage: ws_server.py [--log FILE]
       ws_server.py --round-trips URL WARM COUNT SIZE   (a client: sends WARM
                    messages of SIZE bytes untimed, then prints the
                    milliseconds that COUNT more take to come back)

Paths:
  /echo           every message back as it came (text as text, binary as
                  binary)
  /fragments      "Hello, world" as a text message in three fragments, then
                  bytes 0..9 as a binary message in two, then echoes
  /ping           pings with "are you there", waits for the pong and says
                  "pong PAYLOAD"
  /close          says "bye" and closes with the closing handshake
  /drop           says "last" and drops the connection without a close frame
  /burst/N        sends "1" to "N" at once, then echoes
Every connection appends "open PATH HOST ORIGIN PROTOCOL" to FILE, and
"closed CODE" when its closing handshake completes ("dropped" otherwise).
"""
import argparse
import asyncio
import time

import websockets

args = None


def log(line):
    if args.log:
        with open(args.log, "a", encoding="utf-8") as f:
            f.write(line + "\n")


async def echo(ws):
    async for message in ws:
        await ws.send(message)


async def fragments(ws):
    await ws.send(["Hel", "lo, ", "world"])
    await ws.send([bytes(range(0, 6)), bytes(range(6, 10))])
    await echo(ws)


async def ping(ws):
    waiter = await ws.ping(b"are you there")
    await asyncio.wait_for(waiter, 10)
    await ws.send("pong are you there")
    await echo(ws)


async def close(ws):
    await ws.send("bye")
    await ws.close()


async def drop(ws):
    await ws.send("last")
    await asyncio.sleep(0.1)
    ws.transport.abort()


async def burst(ws, count):
    for i in range(1, count + 1):
        await ws.send(str(i))
    await echo(ws)


async def handler(ws, path):
    headers = ws.request_headers
    log("open %s %s %s %s" % (path, headers.get("Host"), headers.get("Origin", "-"),
                              headers.get("Sec-WebSocket-Protocol", "-") or "-"))
    try:
        if path == "/echo":
            await echo(ws)
        elif path == "/fragments":
            await fragments(ws)
        elif path == "/ping":
            await ping(ws)
        elif path == "/close":
            await close(ws)
        elif path == "/drop":
            await drop(ws)
        elif path.startswith("/burst/"):
            await burst(ws, int(path[len("/burst/"):]))
        await ws.wait_closed()
    except Exception:
        pass
    if ws.close_rcvd is not None and ws.close_sent is not None:
        log("closed %d" % ws.close_rcvd.code)
    else:
        log("dropped")


async def main():
    async with websockets.serve(handler, "127.0.0.1", 0, max_size=None, ping_interval=None,
                                compression=None) as server:
        port = server.sockets[0].getsockname()[1]
        print(port, flush=True)
        await asyncio.Future()


async def round_trips(url, warm, count, size):
    message = "r" * size
    async with websockets.connect(url, max_size=None, ping_interval=None, compression=None) as ws:
        for _ in range(warm):
            await ws.send(message)
            await ws.recv()
        start = time.perf_counter()
        for _ in range(count):
            await ws.send(message)
            await ws.recv()
        print("%.3f" % ((time.perf_counter() - start) * 1000), flush=True)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--log")
    parser.add_argument("--round-trips", nargs=4, metavar=("URL", "WARM", "COUNT", "SIZE"))
    args = parser.parse_args()
    if args.round_trips:
        url, warm, count, size = args.round_trips
        asyncio.run(round_trips(url, int(warm), int(count), int(size)))
    else:
        asyncio.run(main())
