#!/usr/bin/env python3
"""The update server's digest service, as the update check asks it:
GET <path>?FileUrl=<escaped file path> answers the file's digest as 32
hexadecimal characters in UTF-16LE. Loopback only. The digest of a path is
the MD5 of the unescaped path text (UTF-8), so tests can predict it.

  digest-service.py STATE_DIR     (writes STATE_DIR/port, STATE_DIR/url)

Paths:
  /md5       the digest as described
  /garbage   a reply that is no digest ("not found", UTF-16LE)
  /zeros     32 zeros ("no digest known")
  /empty     an empty body
Every request's raw query is appended as one line to STATE_DIR/requests.log.
"""
import hashlib
import os
import sys
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STATE = sys.argv[1]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        parsed = urllib.parse.urlsplit(self.path)
        with open(os.path.join(STATE, "requests.log"), "a", encoding="utf-8") as log:
            log.write(parsed.query + "\n")
        values = urllib.parse.parse_qs(parsed.query, keep_blank_values=True)
        file_url = values.get("FileUrl", [""])[0]
        if parsed.path == "/md5":
            text = hashlib.md5(file_url.encode("utf-8")).hexdigest()
        elif parsed.path == "/garbage":
            text = "not found"
        elif parsed.path == "/zeros":
            text = "0" * 32
        else:
            text = ""
        body = text.encode("utf-16-le")
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    port = server.server_address[1]
    with open(os.path.join(STATE, "port"), "w") as f:
        f.write(f"{port}\n")
    with open(os.path.join(STATE, "url"), "w") as f:
        f.write(f"http://127.0.0.1:{port}/\n")
    server.serve_forever()


if __name__ == "__main__":
    main()
