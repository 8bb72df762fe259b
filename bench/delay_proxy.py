#!/usr/bin/env python3
"""A TCP relay on loopback that puts a link's latency between a client and a
server: every piece of data is passed on DELAY milliseconds after it arrived,
in both directions, and a new connection pays the round trip of its set-up
(its first bytes reach the server no earlier than three delays after the
connection was made, as after a TCP handshake over such a link).

    delay_proxy.py --target HOST:PORT --delay-ms 20 --lifetime 600 \
                   [--port-file FILE] [--stats-file FILE]

Listens on a free loopback port (written to --port-file), relays until
--lifetime seconds have passed, then closes everything and ends; SIGTERM and
SIGINT end it too. --stats-file gets "connections N" at the end. Bandwidth
is not limited: what the delay costs is round trips.
"""
import argparse
import asyncio
import collections
import signal
import time

CHUNK = 256 * 1024
# Bytes held for one direction before the relay stops reading from it.
MAX_QUEUED = 8 * 1024 * 1024


class Direction:
    """One direction of one connection: pieces with the time they are due."""

    def __init__(self, reader, writer, delay, not_before):
        self.reader = reader
        self.writer = writer
        self.delay = delay
        self.not_before = not_before
        self.queue = collections.deque()
        self.queued = 0
        self.ready = asyncio.Event()
        self.room = asyncio.Event()
        self.room.set()

    async def read(self):
        loop = asyncio.get_running_loop()
        try:
            while True:
                await self.room.wait()
                data = await self.reader.read(CHUNK)
                now = loop.time()
                self.queue.append((max(now, self.not_before) + self.delay, data))
                self.queued += len(data)
                if self.queued > MAX_QUEUED:
                    self.room.clear()
                self.ready.set()
                if not data:
                    return
        except (ConnectionError, OSError):
            self.queue.append((loop.time(), None))
            self.ready.set()

    async def write(self):
        loop = asyncio.get_running_loop()
        try:
            while True:
                while not self.queue:
                    self.ready.clear()
                    await self.ready.wait()
                due, data = self.queue[0]
                wait = due - loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                self.queue.popleft()
                if data is None:  # the other side broke off
                    self.writer.transport.abort()
                    return
                if not data:
                    if self.writer.can_write_eof():
                        self.writer.write_eof()
                    return
                self.queued -= len(data)
                if self.queued <= MAX_QUEUED:
                    self.room.set()
                self.writer.write(data)
                await self.writer.drain()
        except (ConnectionError, OSError):
            return


class Relay:
    def __init__(self, host, port, delay):
        self.host = host
        self.port = port
        self.delay = delay
        self.connections = 0
        self.tasks = set()

    async def handle(self, client_reader, client_writer):
        self.connections += 1
        loop = asyncio.get_running_loop()
        opened = loop.time()
        try:
            server_reader, server_writer = await asyncio.open_connection(self.host, self.port)
        except OSError:
            client_writer.close()
            return
        # The request leaves only after the handshake's round trip.
        up = Direction(client_reader, server_writer, self.delay, opened + 2 * self.delay)
        down = Direction(server_reader, client_writer, self.delay, 0.0)
        jobs = [asyncio.ensure_future(j) for j in (up.read(), up.write(), down.read(), down.write())]
        self.tasks.update(jobs)
        try:
            await asyncio.gather(*jobs, return_exceptions=True)
        except asyncio.CancelledError:
            pass
        finally:
            self.tasks.difference_update(jobs)
            for w in (client_writer, server_writer):
                try:
                    w.close()
                except Exception:
                    pass


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--target", required=True)
    parser.add_argument("--delay-ms", type=float, default=20.0)
    parser.add_argument("--lifetime", type=float, default=600.0)
    parser.add_argument("--port-file")
    parser.add_argument("--stats-file")
    args = parser.parse_args()
    host, port = args.target.rsplit(":", 1)
    relay = Relay(host, int(port), args.delay_ms / 1000.0)
    server = await asyncio.start_server(relay.handle, "127.0.0.1", 0, backlog=256)
    listen_port = server.sockets[0].getsockname()[1]
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % listen_port)
        import os
        os.replace(args.port_file + ".tmp", args.port_file)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    try:
        await asyncio.wait_for(stop.wait(), timeout=args.lifetime)
    except asyncio.TimeoutError:
        pass
    server.close()
    for task in list(relay.tasks):
        task.cancel()
    await asyncio.sleep(0.1)
    if args.stats_file:
        with open(args.stats_file, "w") as f:
            f.write("connections %d\n" % relay.connections)


if __name__ == "__main__":
    asyncio.run(main())
