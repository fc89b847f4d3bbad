#!/usr/bin/env python3
"""A web server for the fetch tests that gets things wrong on purpose.

Serves the files of --root on 127.0.0.1 at a free port, prints "PORT n" once it listens,
and logs "path status body-bytes" for every answer to --log. It honours Range and If-Range
with a strong ETag, except where --mode says otherwise:

  range          nothing wrong
  drop           the first --times answers stop after --after body bytes
  wrong-offset   206 answers start 4096 bytes after the byte asked for
  change         the first answer stops after --after bytes; from then on the file is
                 NAME.new, another version with another ETag
  total-changes  the first answer stops after --after bytes; later ones say a longer total
  short          the body is 1000 bytes shorter than the range it announces
  long           the body is 1000 bytes longer than the range it announces
  redirect       every file is reached through --times redirects
  status         every answer has the status --after
  encoded        the answer says it is gzip-compressed
"""

import argparse
import os
import re
import socket
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CHUNK = 64 * 1024


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    options = None
    answers = 0
    lock = threading.Lock()

    def log_message(self, *args):
        pass

    def log_answer(self, status, sent):
        with open(self.options.log, "a") as log:
            log.write(f"{self.path} {status} {sent}\n")

    def next_answer(self):
        with Handler.lock:
            Handler.answers += 1
            return Handler.answers

    def do_GET(self):
        o = self.options
        number = self.next_answer()
        path = self.path
        if o.mode == "redirect":
            hops = 0
            match = re.match(r"^/hop(\d+)(/.*)$", path)
            if match:
                hops, path = int(match.group(1)), match.group(2)
            if hops < o.times:
                self.send_response(302)
                self.send_header("Location", f"/hop{hops + 1}{path}")
                self.send_header("Content-Length", "0")
                self.end_headers()
                self.log_answer(302, 0)
                return
        if o.mode == "status":
            body = b"no\n"
            self.send_response(o.after)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            self.log_answer(o.after, len(body))
            return
        name = os.path.join(o.root, path.lstrip("/"))
        version = "a"
        if o.mode == "change" and number > 1:
            name += ".new"
            version = "b"
        if not os.path.isfile(name):
            self.send_error(404)
            self.log_answer(404, 0)
            return
        size = os.path.getsize(name)
        total = size
        if o.mode == "total-changes" and number > 1:
            total = size + 1000
        etag = f'"{version}-{size}"'
        first, last, status = 0, size - 1, 200
        asked = re.match(r"^bytes=(\d+)-$", self.headers.get("Range", ""))
        if_range = self.headers.get("If-Range")
        if asked and (if_range is None or if_range == etag):
            first = int(asked.group(1))
            if first >= size:
                self.send_response(416)
                self.send_header("Content-Range", f"bytes */{size}")
                self.send_header("Content-Length", "0")
                self.end_headers()
                self.log_answer(416, 0)
                return
            status = 206
        if o.mode == "wrong-offset" and status == 206:
            first = min(first + 4096, last)
        length = last - first + 1
        announced = length
        if o.mode == "short":
            announced = length - 1000
        elif o.mode == "long":
            announced = length + 1000
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("ETag", etag)
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("Content-Length", str(announced))
        if status == 206:
            self.send_header("Content-Range", f"bytes {first}-{last}/{total}")
        if o.mode == "encoded":
            self.send_header("Content-Encoding", "gzip")
        self.end_headers()
        dropping = (o.mode == "drop" and number <= o.times) or (
            o.mode in ("change", "total-changes") and number == 1)
        sent = 0
        with open(name, "rb") as source:
            source.seek(first)
            while sent < announced:
                want = min(CHUNK, announced - sent)
                if dropping:
                    want = min(want, o.after - sent)
                    if want <= 0:
                        break
                data = source.read(want)
                if not data:
                    data = b"\0" * want
                try:
                    self.wfile.write(data)
                except OSError:
                    break
                sent += len(data)
        self.log_answer(status, sent)
        if sent < announced:
            self.wfile.flush()
            # Cut, as a broken connection would be.
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--mode", default="range")
    parser.add_argument("--after", type=int, default=0)
    parser.add_argument("--times", type=int, default=1)
    Handler.options = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    print(f"PORT {server.server_address[1]}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
