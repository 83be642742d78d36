#!/usr/bin/env python3
"""HTTP/1.1 file server for the download engine's tests, with fault injection.

Serves the files of --root. Faults are chosen per request by query parameters, so each
test names its own behaviour in the URL it hands to the engine:

  norange=1     ignore Range (always 200 with the whole file)
  chunked=1     no Content-Length; chunked transfer encoding (implies norange)
  drop=N        close the connection after N body bytes ...
  drops=K       ... for the first K responses of this URL (default 1)
  stall=S       wait S seconds before the body of the first response of this URL
  status=C      answer with status C (404, 500, ...) and a short body
  lie=D         announce D more bytes than are sent, then close
  announce=N    claim the file is N bytes long (Content-Length/Content-Range)
  switch=K      from the K-th request of this URL on, serve NAME.v2 instead
  redirect=N    answer 302 N times (relative Location) before serving
  rate=B        send at most B bytes per second per response
  noetag=1      send neither ETag nor Last-Modified

Server-wide: --rate B sends every file body at most B bytes per second altogether (one
budget shared by all responses and connections, as a slow line would), for clients whose
URLs must stay plain, such as an image address whose file name is what follows the last
"/". It applies on top of a request's own rate=.

Control: GET /__stats?name=NAME -> {"requests": n, "bytes": body bytes sent, "proxied": n,
"agent": last User-Agent};
GET /__version?name=NAME&v=2 serves NAME.v2 for NAME from now on (v=1 goes back).
With --sign-key, NAME.sig (when no such file lies in the folder) is NAME's detached signature
(openssl dgst -sha256 -sign), made as asked by GET /__signature?name=NAME&as=MODE:
vendor (the default: --sign-key), other (--other-key), stale (the signature of NAME's bytes
as they were before an alteration: NAME + "altered"), none (404).
Absolute-URI requests (as sent to a proxy) are served too and counted as proxied.
"""
import argparse
import email.utils
import json
import os
import re
import socket
import subprocess
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LOCK = threading.Lock()
STATS = {}      # name -> {"requests", "bytes", "proxied"}
COUNTS = {}     # full request target (path+query) -> number of requests seen
VERSIONS = {}   # name -> 1 or 2
SIGNING = {}    # name -> how NAME.sig is made (vendor, other, stale, none)


class SharedRate:
    """One send budget for all responses: each piece takes its turn on the line."""

    def __init__(self, rate):
        self.rate = float(rate)
        self.lock = threading.Lock()
        self.line_free = 0.0  # when the line has sent every piece handed to it so far

    def wait_turn(self, n):
        with self.lock:
            now = time.monotonic()
            start = max(now, self.line_free)
            self.line_free = start + n / self.rate
        if start > now:
            time.sleep(start - now)


def stats_for(name):
    return STATS.setdefault(name, {"requests": 0, "bytes": 0, "proxied": 0, "agent": ""})


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KorvaneTestServer/1"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("%s\n" % (fmt % args))

    def send_plain(self, status, text, extra=None):
        body = text if isinstance(text, bytes) else text.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def do_GET(self):
        target = self.path
        proxied = False
        if target.startswith("http://") or target.startswith("https://"):
            proxied = True
            parts = urllib.parse.urlsplit(target)
            target = parts.path + ("?" + parts.query if parts.query else "")
        parts = urllib.parse.urlsplit(target)
        query = dict(urllib.parse.parse_qsl(parts.query))
        name = urllib.parse.unquote(parts.path.lstrip("/"))

        if name == "__stats":
            with LOCK:
                data = dict(stats_for(query.get("name", "")))
            return self.send_plain(200, json.dumps(data))
        if name == "__signature":
            with LOCK:
                SIGNING[query.get("name", "")] = query.get("as", "vendor")
            return self.send_plain(200, "ok")
        if name.endswith(".sig") and self.server.sign_key:
            signature = self.signature_of(name[:-4])
            if signature is not None:
                return self.send_plain(200, signature)
        if name == "__version":
            with LOCK:
                VERSIONS[query.get("name", "")] = int(query.get("v", "1"))
            return self.send_plain(200, "ok")

        with LOCK:
            count = COUNTS.get(target, 0) + 1
            COUNTS[target] = count
            st = stats_for(name)
            st["requests"] += 1
            st["agent"] = self.headers.get("User-Agent", "")
            if proxied:
                st["proxied"] += 1
            version = VERSIONS.get(name, 1)
        if "switch" in query and count >= int(query["switch"]):
            version = 2

        redirects = int(query.get("redirect", "0"))
        if redirects > 0:
            query["redirect"] = str(redirects - 1)
            location = os.path.basename(parts.path) + "?" + urllib.parse.urlencode(query)
            return self.send_plain(302, "moved", {"Location": location})
        if "status" in query:
            return self.send_plain(int(query["status"]), "fault")

        if "/" in name or name.startswith(".") or not name:
            return self.send_plain(404, "not found")
        path = os.path.join(self.server.root, name + (".v2" if version == 2 else ""))
        try:
            f = open(path, "rb")
        except OSError:
            return self.send_plain(404, "not found")
        with f:
            st_info = os.fstat(f.fileno())
            size = st_info.st_size
            announced = int(query.get("announce", size))
            chunked = query.get("chunked") == "1"
            norange = query.get("norange") == "1" or chunked
            first, last = 0, size - 1
            status = 200
            rng = self.headers.get("Range")
            if rng and not norange:
                m = re.fullmatch(r"bytes=(\d+)-(\d*)", rng.strip())
                if m:
                    first = int(m.group(1))
                    last = int(m.group(2)) if m.group(2) else announced - 1
                    last = min(last, announced - 1)
                    if first >= announced:
                        return self.send_plain(416, "range", {"Content-Range": "bytes */%d" % announced})
                    status = 206
            length = last - first + 1
            self.send_response(status)
            self.send_header("Content-Type", "application/octet-stream")
            if query.get("noetag") != "1":
                self.send_header("ETag", '"%x-%x-v%d"' % (int(st_info.st_mtime_ns), size, version))
                self.send_header("Last-Modified", email.utils.formatdate(st_info.st_mtime, usegmt=True))
            if not norange:
                self.send_header("Accept-Ranges", "bytes")
            if status == 206:
                self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, announced))
            if chunked:
                self.send_header("Transfer-Encoding", "chunked")
            else:
                self.send_header("Content-Length", str(length + int(query.get("lie", "0"))))
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True

            drop_after = None
            if "drop" in query and count <= int(query.get("drops", "1")):
                drop_after = int(query["drop"])
            if "stall" in query and count == 1:
                time.sleep(float(query["stall"]))
            rate = int(query.get("rate", "0"))
            shared = self.server.shared_rate
            piece = 64 * 1024 if rate else 1024 * 1024
            if shared:
                piece = min(piece, 16 * 1024)
            f.seek(first)
            remaining = min(length, max(0, size - first))
            sent = 0
            started = time.monotonic()
            try:
                while remaining > 0:
                    n = min(piece, remaining)
                    if drop_after is not None:
                        n = min(n, drop_after - sent)
                        if n <= 0:
                            break
                    data = f.read(n)
                    if not data:
                        break
                    if shared:
                        shared.wait_turn(len(data))
                    if chunked:
                        self.wfile.write(b"%x\r\n" % len(data) + data + b"\r\n")
                    else:
                        self.wfile.write(data)
                    sent += len(data)
                    remaining -= len(data)
                    with LOCK:
                        stats_for(name)["bytes"] += len(data)
                    if rate:
                        ahead = sent / rate - (time.monotonic() - started)
                        if ahead > 0:
                            time.sleep(ahead)
                if chunked and remaining == 0:
                    self.wfile.write(b"0\r\n\r\n")
                self.wfile.flush()
            except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
                return
            if drop_after is not None or "lie" in query:
                try:
                    self.connection.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass


    def signature_of(self, name):
        """NAME's signature as /__signature asked for it; None for a 404 (or a file of that
        name in the folder, which is served as it is)."""
        folder = self.server.root
        if "/" in name or not os.path.isfile(os.path.join(folder, name)) or \
                os.path.exists(os.path.join(folder, name + ".sig")):
            return None
        with LOCK:
            mode = SIGNING.get(name, "vendor")
        if mode == "none":
            return None
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        if mode == "stale":
            data += b"altered"
        key = self.server.other_key if mode == "other" else self.server.sign_key
        return subprocess.run(["openssl", "dgst", "-sha256", "-sign", key], input=data,
                              stdout=subprocess.PIPE, check=True).stdout


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--portfile")
    parser.add_argument("--root", required=True)
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--tls-cert", help="serve https with this PEM certificate ...")
    parser.add_argument("--tls-key", help="... and this PEM key")
    parser.add_argument("--rate", type=int, default=0,
                        help="bytes per second for all file bodies together (0: no limit)")
    parser.add_argument("--sign-key", help="private key (PEM) that signs NAME.sig on the fly")
    parser.add_argument("--other-key", help="a stranger's private key, for /__signature as=other")
    args = parser.parse_args()
    server = Server(("127.0.0.1", args.port), Handler)
    server.sign_key = args.sign_key
    server.other_key = args.other_key or args.sign_key
    if args.tls_cert:
        import ssl
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls_cert, args.tls_key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    server.root = os.path.abspath(args.root)
    server.verbose = args.verbose
    server.shared_rate = SharedRate(args.rate) if args.rate > 0 else None
    port = server.server_address[1]
    if args.portfile:
        tmp = args.portfile + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.portfile)
    else:
        print(port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
