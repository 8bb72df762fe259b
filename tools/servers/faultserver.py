#!/usr/bin/env python3
"""A small HTTP server that misbehaves on purpose, for what a real web server
will not do. Loopback only. Every file is generated: byte i of a file is
i % 251, so any offset mistake shows.

  faultserver.py STATE_DIR      (writes STATE_DIR/port and STATE_DIR/url)

GET /<any name>?size=N plus any of:
  norange=1        ignore Range: answer 200 with the whole body
  nolength=1       no Content-Length; the body ends with the connection
  server=NAME      send "Server: NAME"
  status=CODE      answer CODE with a short text body
  needencoded=1    404 while the raw path holds "+"; "%2B" is served
  cutstart=S&cutat=K  a response starting at offset S sends only K bytes,
                   then the connection is closed
  rate=B           send at most B bytes per second (16 KiB writes); not
                   applied to the cut response
  delay=MS         wait before answering
POST /<any>?...     200 with a UTF-8 text naming the method, the query and the
                   content type (after delay=MS when given)
"""
import os
import sys
import time
import socket
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PATTERN = bytes(i % 251 for i in range(251 * 1024))


def body_bytes(start, end):
    """Bytes [start, end) of a generated file."""
    out = bytearray()
    pos = start
    while pos < end:
        off = pos % 251
        take = min(len(PATTERN) - off, end - pos)
        out += PATTERN[off:off + take]
        pos += take
    return bytes(out)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_name_override = None

    def log_message(self, fmt, *args):
        pass

    def version_string(self):
        return self.server_name_override or "faultserver"

    def params(self):
        parsed = urllib.parse.urlsplit(self.path)
        return parsed.path, dict(urllib.parse.parse_qsl(parsed.query))

    def plain(self, code, text):
        data = text.encode("utf-8")
        self.send_response(code)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.close_connection = True

    def do_POST(self):
        path, q = self.params()
        if "delay" in q:
            time.sleep(int(q["delay"]) / 1000)
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        query = urllib.parse.urlsplit(self.path).query
        self.plain(200, "POST %s ?%s type=%s 汉字" % (path, query, self.headers.get("Content-Type", "")))

    def do_GET(self):
        path, q = self.params()
        self.server_name_override = q.get("server")
        if "delay" in q:
            time.sleep(int(q["delay"]) / 1000)
        if "status" in q:
            return self.plain(int(q["status"]), "status %s" % q["status"])
        if q.get("needencoded") and "+" in self.path.split("?")[0]:
            return self.plain(404, "not found")
        size = int(q.get("size", "0"))
        start, stop = 0, size
        rng = self.headers.get("Range")
        if rng and not q.get("norange"):
            first, _, last = rng.strip().split("=", 1)[1].partition("-")
            start = int(first or 0)
            if last:
                stop = min(size, int(last) + 1)
        if start >= size and size > 0 or start > size:
            return self.plain(416, "bad range")
        status = 206 if rng and not q.get("norange") else 200
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if not q.get("nolength"):
            self.send_header("Content-Length", str(stop - start))
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, stop - 1, size))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        end = stop
        if "cutstart" in q and int(q["cutstart"]) == start:
            end = min(stop, start + int(q.get("cutat", "0")))
        # The cut response itself is sent at full speed, so that it fails
        # while the other parts are still running.
        rate = int(q.get("rate", "0")) if end == stop else 0
        pos = start
        began = time.monotonic()
        try:
            while pos < end:
                take = min(16384, end - pos)
                self.wfile.write(body_bytes(pos, pos + take))
                pos += take
                if rate:
                    due = began + (pos - start) / rate
                    pause = due - time.monotonic()
                    if pause > 0:
                        time.sleep(pause)
            self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError):
            return
        if end < stop:
            # Cut: make the peer see the connection end at once.
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    state = sys.argv[1]
    os.makedirs(state, exist_ok=True)
    server = Server(("127.0.0.1", 0), Handler)
    port = server.server_address[1]
    with open(os.path.join(state, "port.tmp"), "w") as f:
        f.write("%d\n" % port)
    with open(os.path.join(state, "url.tmp"), "w") as f:
        f.write("http://127.0.0.1:%d/\n" % port)
    os.replace(os.path.join(state, "port.tmp"), os.path.join(state, "port"))
    os.replace(os.path.join(state, "url.tmp"), os.path.join(state, "url"))
    server.serve_forever()


if __name__ == "__main__":
    main()
