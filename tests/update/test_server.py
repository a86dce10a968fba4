#!/usr/bin/env python3
"""HTTP and HTTPS server of the download tests, on 127.0.0.1 only.

  test_server.py ROOT [NAME=CERT:KEY ...]

Serves ROOT/<path> on a plain port and on one TLS port per certificate, and
prints {"http": port, "tls": {NAME: port}} as one line once listening. Ends
when its standard input closes.

Query options of a file request:
  lm=TEXT      Last-Modified header          nolen=1   no Content-Length
  len=N        Content-Length N whatever the body is
  slow=MS      pause before each 64 KiB piece
  hold=1       after the headers, wait for the client to hang up before
               sending the body (so a test sees whether it read it)
Other paths:
  /status/N              answer N with a short body
  /redirect?to=URL[&code=N]
  /hops/N                N redirects in a row, then a short body
  /gen/NAME?size=N       N bytes of the pattern i % 251
  /stats                 JSON: every request (path, user agent) and the body
                         bytes sent per request path
"""
import json
import os
import select
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROOT = sys.argv[1]
LOCK = threading.Lock()
REQUESTS = []
BODY_SENT = {}
PIECE = 65536


def pattern(size):
    block = bytes(i % 251 for i in range(251 * 261))  # a multiple of 251 near 64 KiB
    out = bytearray()
    while len(out) < size:
        out += block
    return bytes(out[:size])


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, key, body, slow_ms=0):
        sent = 0
        try:
            for start in range(0, len(body), PIECE):
                if slow_ms:
                    time.sleep(slow_ms / 1000.0)
                piece = body[start:start + PIECE]
                self.wfile.write(piece)
                self.wfile.flush()
                sent += len(piece)
        except OSError:
            pass
        with LOCK:
            BODY_SENT[key] = BODY_SENT.get(key, 0) + sent

    def client_hung_up(self, timeout):
        deadline = time.time() + timeout
        while time.time() < deadline:
            ready, _, _ = select.select([self.connection], [], [], 0.1)
            if ready:
                try:
                    if self.connection.recv(1, socket.MSG_PEEK) == b"":
                        return True
                except (OSError, ssl.SSLError):
                    return True
        return False

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        path = url.path
        if path == "/stats":
            with LOCK:
                body = json.dumps({"requests": REQUESTS, "body_sent": BODY_SENT}).encode()
            self.answer(200, body, {"Content-Type": "application/json"})
            return
        with LOCK:
            REQUESTS.append({"path": path, "ua": self.headers.get("User-Agent", "")})
        if path.startswith("/status/"):
            self.answer(int(path[8:]), b"not here\n", {})
            return
        if path == "/redirect":
            self.answer(int(query.get("code", "302")), b"", {"Location": query["to"]})
            return
        if path.startswith("/hops/"):
            left = int(path[6:])
            if left > 0:
                self.answer(302, b"", {"Location": "/hops/%d" % (left - 1)})
            else:
                self.answer(200, b"arrived\n", {})
            return
        if path.startswith("/gen/"):
            body = pattern(int(query.get("size", "0")))
        else:
            file_path = os.path.join(ROOT, path.lstrip("/"))
            if not os.path.isfile(file_path):
                self.answer(404, b"not here\n", {})
                return
            with open(file_path, "rb") as f:
                body = f.read()

        self.send_response(200)
        if "lm" in query:
            self.send_header("Last-Modified", query["lm"])
        if "len" in query:
            self.send_header("Content-Length", query["len"])
        elif query.get("nolen") != "1":
            self.send_header("Content-Length", str(len(body)))
        if "len" in query or query.get("nolen") == "1":
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.flush()
        if query.get("hold") == "1" and self.client_hung_up(20):
            with LOCK:
                BODY_SENT.setdefault(path, 0)
            self.close_connection = True
            return
        self.send_body(path, body, int(query.get("slow", "0")))

    def answer(self, code, body, headers):
        self.send_response(code)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # refused handshakes and hang-ups are what the tests cause


def main():
    servers = {"http": Server(("127.0.0.1", 0), Handler)}
    tls_ports = {}
    for entry in sys.argv[2:]:
        name, files = entry.split("=", 1)
        cert, key = files.split(":", 1)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server = Server(("127.0.0.1", 0), Handler)
        server.socket = context.wrap_socket(server.socket, server_side=True)
        servers[name] = server
        tls_ports[name] = server.server_address[1]
    for server in servers.values():
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print(json.dumps({"http": servers["http"].server_address[1], "tls": tls_ports}), flush=True)
    sys.stdin.read()


if __name__ == "__main__":
    main()
