#!/usr/bin/env python3
"""A recording HTTP collector on 127.0.0.1 for the telemetry clients' tests.

Every request except the control paths below is recorded (method, target
with its query, header lines in arrival order, the exact body bytes) and
answered; a test then reads the records back over HTTP.

  GET  /_records   200; a JSON array of the records in arrival order, each
                   {"method", "target", "headers": [[name, value], ...],
                   "body_hex" (the body as lower-case hexadecimal),
                   "body_is_json" (whether a strict JSON parser accepts it)}
  POST /_clear     200; forgets every record
  /hang/N/...      recorded at once, answered 204 after N milliseconds
  anything else    204 No Content

The collector listens on --port (any free one by default), writes its port to the file given with --port-file once it
listens, binds only loopback and stops on SIGTERM or when its --lifetime
(seconds) is up, so a run whose wrapper was killed leaves nothing behind
for long.
"""
import argparse
import json
import os
import signal
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

RECORDS = []
LOCK = threading.Lock()


def is_strict_json(body):
    """UTF-8 text that json.loads accepts in strict mode (no raw control
    characters inside strings), with nothing after the value."""
    try:
        json.loads(body.decode("utf-8"), strict=True)
        return True
    except ValueError:
        return False


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):  # quiet: the test's output is what matters
        pass

    def _answer(self, status, body=b"", content_type="application/json"):
        self.send_response(status)
        if status != 204:
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if status != 204:
            self.wfile.write(body)

    def _handle(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        parsed = urllib.parse.urlsplit(self.path)
        if parsed.path == "/_records":
            with LOCK:
                data = json.dumps(RECORDS).encode()
            self._answer(200, data)
            return
        if parsed.path == "/_clear":
            with LOCK:
                RECORDS.clear()
            self._answer(200, b"[]")
            return
        record = {
            "method": self.command,
            "target": self.path,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body_hex": body.hex(),
            "body_is_json": is_strict_json(body),
        }
        with LOCK:
            RECORDS.append(record)
        segments = parsed.path.split("/")
        if len(segments) > 2 and segments[1] == "hang" and segments[2].isdigit():
            time.sleep(int(segments[2]) / 1000.0)
        self._answer(204)

    do_GET = _handle
    do_POST = _handle
    do_PUT = _handle


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--lifetime", type=float, default=1800)
    parser.add_argument("--port", type=int, default=0, help="a fixed port (default: any free one)")
    args = parser.parse_args()
    deadline = threading.Timer(args.lifetime, lambda: os._exit(0))
    deadline.daemon = True
    deadline.start()
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as out:
        out.write("%d\n" % server.server_address[1])
    os.replace(tmp, args.port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
