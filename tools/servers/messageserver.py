#!/usr/bin/env python3
"""The product maker's message server, as the launcher meets it, for tests
and the demo. Loopback only, on a free port (or MESSAGE_PORT), and bounded:
request lines and bodies are capped, and the server ends by itself after
MESSAGE_LIFETIME seconds (default 1800).

  messageserver.py STATE_DIR    (writes STATE_DIR/port and STATE_DIR/url)

GET or POST .../App/MessageHandler/PushMessage.ashx?method=GetPushMessage&productId=P...
    the answer in STATE_DIR/messages/P.json when it exists, otherwise one
    demo banner (the picture /demo/banner.svg of this server)
GET or POST .../app/AppPackageHandle.ashx?method=CheckPackage&productID=P...
    {"result":1} when STATE_DIR/owned/P exists (the user has the offer's
    product), {"result":0} otherwise
GET /demo/banner.svg    the demo banner, 360 x 120

Path segments before "/App/" or "/app/" are switches, so that a test points
MessageServerURL at http://host:port/delay=3000/status=500:
    delay=MS     wait before answering
    status=CODE  answer CODE with a short text
    cut          close the connection without an answer
Every request is appended to STATE_DIR/requests.log as "METHOD PATH".
"""
import json
import os
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STATE = None
LOG_LOCK = threading.Lock()
MAX_BODY = 64 * 1024

BANNER_SVG = (
    '<svg xmlns="http://www.w3.org/2000/svg" width="360" height="120" viewBox="0 0 360 120">'
    '<rect width="360" height="120" fill="rgb(219,88,0)"/>'
    '<text x="180" y="58" font-size="26" text-anchor="middle" fill="white" font-family="sans-serif">'
    '\u6f9c\u77f3\u9898\u5e93 \u00b7 \u65b0\u9898\u5df2\u4e0a\u7ebf</text>'
    '<text x="180" y="92" font-size="15" text-anchor="middle" fill="white" font-family="sans-serif">'
    'Mirefold demo banner</text></svg>'
)


def demo_answer(base):
    record = {
        "MsgId": "demo-banner", "StarDelayNum": 3, "PushNum": 1, "PushInterval": 600,
        "MsgUrl": "", "eleUrl": base + "demo/banner.svg", "eleTransUrl": "http://127.0.0.1:8731/pc/",
        "MsgEndDate": "2099-12-31", "timeType": 0, "timeValue": "", "Position": 9,
        "pageWidth": 360, "pageHeight": 120, "xOffset": -16, "yOffset": -16, "task": "", "taskMemo": "demo",
    }
    return json.dumps({"Code": 0, "Data": [record]}, ensure_ascii=False)


def safe_name(text):
    return "".join(c for c in text if c.isalnum() or c in "-_.")[:100]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, code, body, content_type="application/json; charset=utf-8"):
        data = body.encode("utf-8")
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)
        self.close_connection = True

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length > 0:
            self.rfile.read(min(length, MAX_BODY))
        with LOG_LOCK, open(os.path.join(STATE, "requests.log"), "a", encoding="utf-8") as f:
            f.write("%s %s\n" % (self.command, self.path))
        parts = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(parts.query))
        path = parts.path
        switches, service = path, ""
        for mark in ("/App/", "/app/"):
            if mark in path:
                at = path.index(mark)
                switches, service = path[:at], path[at:]
                break
        for switch in switches.split("/"):
            key, _, value = switch.partition("=")
            if key == "delay":
                time.sleep(min(int(value or 0), 60000) / 1000.0)
            elif key == "cut":
                self.close_connection = True
                return
            elif key == "status":
                self.answer(int(value or 500), "switched off\n", "text/plain")
                return
        if service.lower().endswith("/messagehandler/pushmessage.ashx"):
            name = os.path.join(STATE, "messages", safe_name(query.get("productId", "")) + ".json")
            if os.path.isfile(name):
                with open(name, encoding="utf-8") as f:
                    self.answer(200, f.read())
            else:
                base = "http://%s:%d/" % self.server.server_address[:2]
                self.answer(200, demo_answer(base))
        elif service.lower().endswith("/apppackagehandle.ashx"):
            owned = os.path.isfile(os.path.join(STATE, "owned", safe_name(query.get("productID", ""))))
            self.answer(200, '{"result":%d}' % (1 if owned else 0))
        elif path.endswith("/demo/banner.svg"):
            self.answer(200, BANNER_SVG, "image/svg+xml")
        else:
            self.answer(404, "not found\n", "text/plain")

    do_GET = handle_any
    do_POST = handle_any
    do_HEAD = handle_any


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 16


def main():
    global STATE
    STATE = os.path.abspath(sys.argv[1])
    os.makedirs(os.path.join(STATE, "messages"), exist_ok=True)
    os.makedirs(os.path.join(STATE, "owned"), exist_ok=True)
    server = Server(("127.0.0.1", int(os.environ.get("MESSAGE_PORT", "0"))), Handler)
    port = server.server_address[1]
    for name, text in (("port", "%d\n" % port), ("url", "http://127.0.0.1:%d/\n" % port)):
        with open(os.path.join(STATE, name + ".tmp"), "w") as f:
            f.write(text)
        os.replace(os.path.join(STATE, name + ".tmp"), os.path.join(STATE, name))
    lifetime = float(os.environ.get("MESSAGE_LIFETIME", "1800"))
    threading.Timer(lifetime, server.shutdown).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
