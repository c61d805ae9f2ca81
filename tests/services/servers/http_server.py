#!/usr/bin/python3
"""A small HTTP server for the internet command tests and the download bench.

Listens on 127.0.0.1 only, on a free port it prints as the first line of its
output, and ends by itself after --seconds or --requests, whichever comes
first. Resources:

  /hello.txt        "Hello" with a length
  /bytes            the 256 byte values 0..255
  /nolength         a body without a length (ends with the connection)
  /notext           404 with no status text
  /missing          404 Not Found
  /redirect         302 to /hello.txt (/redirect-abs: absolute, to the same server)
  /secret           Basic authentication as ann:pw, "secret"
  /slow?size=N&ms=M N bytes in 1 KiB pieces, M ms apart
  /stall            a length of 100, 10 bytes, then silence
  /short            a length of 100, 10 bytes, then the connection closes
  /huge             claims 5 GiB, sends 10 bytes, closes
  /big?mb=N         N MiB of a fixed pattern, with a length
  /echo             POST: "CT=<content type>|BODY=<body>"
  /headers          "UA=<user agent>|REF=<referer>|HOST=<host>"
  /file/NAME        the file NAME of --root

With --tls CERT KEY it speaks HTTPS.
"""
import argparse
import base64
import os
import socketserver
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlparse, parse_qs

ap = argparse.ArgumentParser()
ap.add_argument("--seconds", type=float, default=60)
ap.add_argument("--requests", type=int, default=200)
ap.add_argument("--root", default=".")
ap.add_argument("--tls", nargs=2, help="CERT KEY: HTTPS with that certificate")
args = ap.parse_args()

count = 0
lock = threading.Lock()
PATTERN = bytes(range(256)) * 4096  # 1 MiB


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *a):
        pass

    def counted(self):
        global count
        with lock:
            count += 1
            if count >= args.requests:
                threading.Thread(target=server.shutdown, daemon=True).start()

    def reply(self, code, body=b"", headers=(), length=True, text=None):
        if text is None:
            self.send_response(code)
        else:
            self.wfile.write(("HTTP/1.0 %d%s\r\n" % (code, (" " + text) if text else "")).encode())
        for k, v in headers:
            self.send_header(k, v)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.counted()
        u = urlparse(self.path)
        q = parse_qs(u.query)
        p = u.path
        try:
            if p == "/hello.txt":
                self.reply(200, b"Hello")
            elif p == "/bytes":
                self.reply(200, bytes(range(256)))
            elif p == "/nolength":
                self.reply(200, b"x" * 3000, length=False)
            elif p == "/notext":
                self.reply(404, b"", text="")
            elif p == "/missing":
                self.reply(404, b"gone")
            elif p == "/redirect":
                self.reply(302, b"", headers=[("Location", "/hello.txt")])
            elif p == "/redirect-abs":
                self.reply(301, b"", headers=[("Location", "http://%s/hello.txt" % self.headers["Host"])])
            elif p == "/secret":
                want = "Basic " + base64.b64encode(b"ann:pw").decode()
                if self.headers.get("Authorization") == want:
                    self.reply(200, b"secret")
                else:
                    self.reply(401, b"no", headers=[("WWW-Authenticate", 'Basic realm="t"')])
            elif p == "/slow":
                size = int(q.get("size", ["65536"])[0])
                ms = int(q.get("ms", ["20"])[0])
                self.send_response(200)
                self.send_header("Content-Length", str(size))
                self.end_headers()
                sent = 0
                while sent < size:
                    n = min(1024, size - sent)
                    self.wfile.write(b"s" * n)
                    self.wfile.flush()
                    sent += n
                    time.sleep(ms / 1000.0)
            elif p == "/stall":
                self.send_response(200)
                self.send_header("Content-Length", "100")
                self.end_headers()
                self.wfile.write(b"0123456789")
                self.wfile.flush()
                time.sleep(min(20, args.seconds))
            elif p in ("/short", "/huge"):
                self.send_response(200)
                self.send_header("Content-Length", "100" if p == "/short" else str(5 << 30))
                self.end_headers()
                self.wfile.write(b"0123456789")
            elif p == "/big":
                mb = int(q.get("mb", ["4"])[0])
                self.send_response(200)
                self.send_header("Content-Length", str(mb << 20))
                self.end_headers()
                for _ in range(mb):
                    self.wfile.write(PATTERN)
            elif p == "/headers":
                body = "UA=%s|REF=%s|HOST=%s" % (self.headers.get("User-Agent", ""),
                                                 self.headers.get("Referer", ""), self.headers.get("Host", ""))
                self.reply(200, body.encode("latin-1"))
            elif p.startswith("/file/"):
                path = os.path.join(args.root, os.path.basename(p[6:]))
                if not os.path.isfile(path):
                    self.reply(404, b"")
                    return
                size = os.path.getsize(path)
                self.send_response(200)
                self.send_header("Content-Length", str(size))
                self.end_headers()
                with open(path, "rb") as f:
                    os.sendfile(self.wfile.fileno(), f.fileno(), 0, size) if hasattr(os, "sendfile") else \
                        self.wfile.write(f.read())
            else:
                self.reply(404, b"")
        except (BrokenPipeError, ConnectionResetError):
            pass

    def do_POST(self):
        self.counted()
        n = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(n) if n > 0 else b""
        if urlparse(self.path).path == "/echo":
            self.reply(200, b"CT=" + self.headers.get("Content-Type", "").encode() + b"|BODY=" + body)
        else:
            self.reply(404, b"")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


server = Server(("127.0.0.1", 0), Handler)
if args.tls:
    import ssl
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(args.tls[0], args.tls[1])
    server.socket = ctx.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
threading.Timer(args.seconds, server.shutdown).start()
server.serve_forever()
server.server_close()
os._exit(0)
