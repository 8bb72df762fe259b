#!/usr/bin/env python3
"""A small HTTP server that misbehaves on purpose, for what a real web server
will not do. Loopback only. Every file is generated: byte i of a file is
i % 251, so any offset mistake shows.

  faultserver.py STATE_DIR      (writes STATE_DIR/port and STATE_DIR/url)

GET /<any name>?size=N plus any of:
  norange=1        ignore Range: answer 200 with the whole body
  nolength=1       no Content-Length; the body ends with the connection
  length=N         announce Content-Length N whatever is sent
  endless=1        a 200 whose body never ends (no Content-Length unless
                   length=N), whatever the Range
  always206=1      answer 206 even without Range ("bytes 0-(size-1)/size")
  total=star|none|N  the complete length in Content-Range: "*", no
                   Content-Range header at all, or N
  rangeshift=K     a 206 reply serves, and names, the asked range moved by K
                   bytes (clipped to the file)
  onlyat=S         total= and rangeshift= apply only to the reply for the
                   range that starts at S
  server=NAME      send "Server: NAME"
  status=CODE      answer CODE with a short text body
  needencoded=1    404 while the raw path holds "+"; "%2B" is served
  cutstart=S&cutat=K  a response starting at offset S sends only K bytes,
                   then the connection is closed
  reset=1          a cut connection ends with a reset instead of a close
  chunked=1        send the body with chunked transfer coding
  badchunk=TEXT    (with chunked=1) the second chunk's size line is TEXT
  stall=MS&stallat=K  after K bytes of the body (default 0) send nothing
                   for MS milliseconds, then close the connection
  rate=B           send at most B bytes per second (16 KiB writes); not
                   applied to the cut response
  trickle=MS       send the body one byte at a time, MS milliseconds apart
                   (each byte well inside any receive time-out)
  delay=MS         wait before answering
  redirect=N|loop  answer 302 to the same URL with redirect=N-1 (a relative
                   Location for odd N), until N is 0; "loop" for ever
  tag=NAME         count the requests under NAME; GET /count?tag=NAME
                   answers the count as text
  twolengths=N     send a second Content-Length header, of N
  http09=1         answer as HTTP/0.9: the body alone, no status line, no
                   headers, ended by closing the connection
  zipbomb=N        a request whose URL ends in "._.zip" gets a zip archive
                   holding one entry of N zero bytes; any other gets 404
POST /<any>?...     200 with a UTF-8 text naming the method, the query and the
                   content type (after delay=MS when given); with
  size=N           instead a body of N bytes "a" (no Content-Length with
                   nolength=1)
  drip=MS          the body one byte every MS milliseconds (status line
                   and headers at once)
"""
import io
import os
import re
import sys
import time
import socket
import struct
import threading
import urllib.parse
import zipfile
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PATTERN = bytes(i % 251 for i in range(251 * 1024))
COUNTS = {}
COUNTS_LOCK = threading.Lock()
ZIPS = {}


def number(text, default=0):
    """The leading digits of a query value ("5._.zip" reads as 5)."""
    match = re.match(r"\d+", text or "")
    return int(match.group(0)) if match else default


def zip_of_zeros(count):
    """A deflated archive with one entry "list.xml" of `count` zero bytes."""
    if count not in ZIPS:
        out = io.BytesIO()
        with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
            with archive.open("list.xml", "w", force_zip64=False) as entry:
                block = bytes(1024 * 1024)
                left = count
                while left > 0:
                    entry.write(block[:min(left, len(block))])
                    left -= len(block)
        ZIPS[count] = out.getvalue()
    return ZIPS[count]


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

    def complete(self, code, content_type, data):
        """A whole reply with its length, on a connection that closes after it."""
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)
        self.close_connection = True

    def plain(self, code, text):
        self.complete(code, "text/plain; charset=utf-8", text.encode("utf-8"))

    def do_POST(self):
        path, q = self.params()
        if "tag" in q:
            with COUNTS_LOCK:
                COUNTS[q["tag"]] = COUNTS.get(q["tag"], 0) + 1
        if q.get("redirect") == "loop":
            return self.redirect(path, q)
        if "delay" in q:
            time.sleep(int(q["delay"]) / 1000)
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        query = urllib.parse.urlsplit(self.path).query
        if "drip" in q:
            return self.drip(int(q["drip"]), "POST %s ?%s" % (path, query))
        if "size" in q:
            return self.post_body(int(q["size"]), q.get("nolength") == "1")
        self.plain(200, "POST %s ?%s type=%s 汉字" % (path, query, self.headers.get("Content-Type", "")))

    def drip(self, pause_ms, text):
        body = text.encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            self.wfile.flush()
            for i in range(len(body)):
                self.wfile.write(body[i:i + 1])
                self.wfile.flush()
                time.sleep(pause_ms / 1000)
        except OSError:
            pass
        self.close_connection = True

    def post_body(self, size, nolength):
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        if not nolength:
            self.send_header("Content-Length", str(size))
        else:
            self.close_connection = True
        self.end_headers()
        chunk = b"a" * 65536
        try:
            while size > 0:
                self.wfile.write(chunk[:min(size, len(chunk))])
                size -= min(size, len(chunk))
        except OSError:
            pass

    def do_GET(self):
        path, q = self.params()
        self.server_name_override = q.get("server")
        if path == "/count":
            with COUNTS_LOCK:
                return self.plain(200, str(COUNTS.get(q.get("tag"), 0)))
        if "tag" in q:
            with COUNTS_LOCK:
                COUNTS[q["tag"]] = COUNTS.get(q["tag"], 0) + 1
        if "delay" in q:
            time.sleep(int(q["delay"]) / 1000)
        if "status" in q:
            return self.plain(int(q["status"]), "status %s" % q["status"])
        if "redirect" in q:
            return self.redirect(path, q)
        if "zipbomb" in q:
            if not self.path.endswith("._.zip"):
                return self.plain(404, "not found")
            return self.whole(zip_of_zeros(number(q["zipbomb"])))
        if q.get("needencoded") and "+" in self.path.split("?")[0]:
            return self.plain(404, "not found")
        size = number(q.get("size"))
        if q.get("http09"):
            self.wfile.write(body_bytes(0, size))
            self.wfile.flush()
            self.close_connection = True
            return
        start, stop = 0, size
        rng = self.headers.get("Range")
        if rng and not q.get("norange"):
            first, _, last = rng.strip().split("=", 1)[1].partition("-")
            start = int(first or 0)
            if last:
                stop = min(size, int(last) + 1)
        if start >= size and size > 0 or start > size:
            return self.plain(416, "bad range")
        endless = bool(q.get("endless"))
        ranged = not endless and (bool(rng and not q.get("norange")) or bool(q.get("always206")))
        odd = "onlyat" not in q or number(q["onlyat"]) == start
        if ranged and odd and "rangeshift" in q:
            shift = number(q["rangeshift"])
            start, stop = min(start + shift, size), min(stop + shift, size)
        self.send_response(206 if ranged else 200)
        self.send_header("Content-Type", "application/octet-stream")
        chunked = bool(q.get("chunked"))
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif "length" in q:
            self.send_header("Content-Length", str(number(q["length"])))
        elif not q.get("nolength") and not endless:
            self.send_header("Content-Length", str(stop - start))
        if "twolengths" in q:
            self.send_header("Content-Length", q["twolengths"])
        total = q.get("total", str(size)) if odd else str(size)
        if ranged and total != "none":
            self.send_header("Content-Range", "bytes %d-%d/%s" % (start, stop - 1, "*" if total == "star" else total))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        if endless:
            stop = 1 << 62
        end = stop
        if "cutstart" in q and int(q["cutstart"]) == start:
            end = min(stop, start + int(q.get("cutat", "0")))
        stall_at = start + number(q.get("stallat")) if "stall" in q else None
        # The cut response itself is sent at full speed, so that it fails
        # while the other parts are still running.
        rate = int(q.get("rate", "0")) if end == stop else 0
        pos = start
        began = time.monotonic()
        trickle = number(q.get("trickle")) / 1000 if "trickle" in q else None
        try:
            while pos < end:
                take = min(16384, end - pos)
                if trickle is not None:
                    take = 1
                    self.wfile.flush()
                    time.sleep(trickle)
                if stall_at is not None:
                    if pos >= stall_at:
                        self.wfile.flush()
                        time.sleep(number(q["stall"]) / 1000)
                        return
                    take = min(take, stall_at - pos)
                data = body_bytes(pos, pos + take)
                if chunked:
                    size_line = b"%x" % len(data)
                    if "badchunk" in q and pos > start:
                        size_line = q["badchunk"].encode("latin-1")
                        q = {k: v for k, v in q.items() if k != "badchunk"}
                    data = b"%s\r\n%s\r\n" % (size_line, data)
                self.wfile.write(data)
                pos += take
                if rate:
                    due = began + (pos - start) / rate
                    pause = due - time.monotonic()
                    if pause > 0:
                        time.sleep(pause)
            if chunked and end == stop:
                self.wfile.write(b"0\r\n\r\n")
            self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError):
            return
        if end < stop:
            # Cut: make the peer see the connection end at once.
            try:
                if q.get("reset"):
                    self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    self.connection.close()
                else:
                    self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def redirect(self, path, q):
        """302 to the same URL with one redirect less ("loop": the same URL)."""
        if q["redirect"] == "loop":
            query = urllib.parse.urlsplit(self.path).query
        else:
            left = number(q["redirect"])
            if left == 0:
                rest = dict(q)
                del rest["redirect"]
                return self.serve_after_redirects(path, rest)
            rest = dict(q)
            rest["redirect"] = str(left - 1)
            query = urllib.parse.urlencode(rest)
        location = "%s?%s" % (path, query)
        if q["redirect"] == "loop" or number(q["redirect"]) % 2 == 0:
            location = "http://%s:%d%s" % (self.server.server_address[0], self.server.server_address[1], location)
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def serve_after_redirects(self, path, q):
        """The request as if it had come without redirect=."""
        q = {k: v for k, v in q.items() if k != "tag"}  # counted once
        self.path = "%s?%s" % (path, urllib.parse.urlencode(q))
        return self.do_GET()

    def whole(self, data):
        self.complete(200, "application/octet-stream", data)


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
