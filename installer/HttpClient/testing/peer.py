#!/usr/bin/env python3
"""A scripted HTTP peer on 127.0.0.1 for what a real server will not do.

Each path below is one behaviour (broken lengths, odd heads, redirects,
error statuses, slow or split writes). The peer writes its port to the file
given with --port-file once it listens, and stops on SIGTERM or when its
--lifetime (seconds) is up, so a run whose wrapper was killed leaves nothing
behind for long. Only loopback is ever bound.

Paths:
  /echo                 200; body = the raw request head, a blank line, the body
  /pattern/N            200; N pattern bytes with Content-Length
  /nolength             200 without Content-Length; 10000 pattern bytes, then close
  /short                Content-Length 1000; 400 bytes, then close
  /lower                "content-length: 5" (lower case); "hello", then close
  /badlength            "Content-Length: 12abc"; "hello", then close
  /neglength            "Content-Length: -5"; "hello", then close
  /hugelength           Content-Length 9000000; 10 bytes, then close
  /bignolength          200 without Content-Length; 9 MiB of pattern, then close
  /status/C             status C with a body "status C body"
  /onespace             status line "HTTP/1.1 200" (one space)
  /split                the head in three writes 150 ms apart, then 20 bytes
  /bighead              a head of about 10 KB (longer than one read), then 20 bytes
  /trickle              Content-Length 2000 in 100-byte writes 30 ms apart
  /noheadclose          half a head, then close
  /slowhead?ms=N        waits N ms before answering 200 "slow"; with log=NAME
                        its arrivals ("asked") and answers ("answered")
                        are counted under NAME
  /slowbody?ms=N        sends the head of 200 "slow" at once, the body N ms later
  /redirect/abs         302 to http://127.0.0.1:PORT/pattern/5000
  /redirect/rel         302 to /pattern/5000
  /redirect/relative    302 to "pattern/4000", i.e. /redirect/pattern/4000
  /redirect/loop        302 to itself, absolute
  /redirect/relloop     302 to itself, relative
  /redirect/cross       302 to http://localhost:PORT/echo (another host name)
  /redirect/https       302 to https://127.0.0.1/small.txt
  /redirect/nolocation  302 without a Location
  /redirect/status/C    status C (301, 302, 303, 307, 308) to /echo
  /ranges/N             N pattern bytes; "Range: bytes=A-B" answered 206 with
                        Content-Range, no Range 200. Options (query):
                          ignore=1     answer every request 200 with the whole body
                          drop_at=A    the range starting at A: half its bytes, then close
                          status_at=A  the range starting at A: status C (status=C, 404)
                          ms=M         a ranged request's body in chunk-byte writes
                                       M ms apart (chunk, 4096); an unranged
                                       one goes at once
                          once=1       status_at applies to the first such request only
                          log=NAME     each served range "A-B" is kept under NAME;
                                       /rangelog/NAME lists them, one per line,
                                       then "sent N", the body bytes sent,
                                       "overlap N", the most ranges (other
                                       than 0-0) in flight at once, and
                                       "after N", the body bytes of ranged
                                       requests sent after a whole_at
                                       reply's head
                          together=K   a range other than 0-0 waits (up to 5 s)
                                       until K of them are in flight
                          whole_at=A   the range starting at A: 200 with the
                                       whole file, paced as a range
                          busy_at=A    the range starting at A: 503 with
                                       "Retry-After: 1" for its first busy=N
                                       requests (1), then served
                          shift=S      a range A-B is answered with the bytes
                                       of A+S-B+S (clamped), labelled so
                          switch_after=K  the file is republished after the K-th
                                       request (per distinct query): ETag "v1",
                                       then "v2" with other bytes; an If-Range
                                       naming another version gets 200, the
                                       whole current file
"""
import argparse
import os
import signal
import socket
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_tree import pattern  # noqa: E402

PORT = 0


def read_request(conn, pending):
    """Returns (head bytes, body bytes, leftover) or None when the peer closed."""
    data = pending
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return None
        data += chunk
        if len(data) > 1 << 20:
            return None
    head, rest = data.split(b"\r\n\r\n", 1)
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            try:
                length = int(value.strip())
            except ValueError:
                length = 0
    while len(rest) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        rest += chunk
    return head, rest[:length], rest[length:]


def response(status, reason, body, headers=(), length=True):
    lines = ["HTTP/1.1 %d %s" % (status, reason)]
    lines += list(headers)
    if length:
        lines.append("Content-Length: %d" % len(body))
    return ("\r\n".join(lines) + "\r\n\r\n").encode() + body


def redirect(location, keep=True):
    headers = ["Location: " + location]
    if not keep:
        headers.append("Connection: close")
    return response(302, "Found", b"", headers)


def requested_range(head):
    """(first, last or None) of a "Range: bytes=A-B" header, or None."""
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() != b"range":
            continue
        value = value.strip().decode("latin-1")
        if not value.startswith("bytes="):
            return None
        first, _, last = value[len("bytes="):].partition("-")
        try:
            return int(first), (int(last) if last else None)
        except ValueError:
            return None
    return None


VERSION_COUNTS = {}
RANGE_LOGS = {}
RANGE_SENT = {}
VERSION_LOCK = threading.Lock()
# Per log name: ranges in flight, the most at once, whether a whole_at reply
# went out, the body bytes sent since, and counted events.
IN_FLIGHT = {}
OVERLAP = {}
SPOILED = set()
SENT_AFTER = {}
EVENTS = {}
IN_FLIGHT_CHANGED = threading.Condition(VERSION_LOCK)


def count_event(log, name):
    if log:
        with VERSION_LOCK:
            EVENTS[(log, name)] = EVENTS.get((log, name), 0) + 1


def header_value(head, wanted):
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == wanted:
            return value.strip().decode("latin-1")
    return None


def serve_ranges(conn, head, size, query):
    """The /ranges/N resource; returns True when the connection may be reused."""
    log = query.get("log", [""])[0]
    wanted = requested_range(head)
    counted = log and wanted is not None and wanted != (0, 0)
    if counted:
        with VERSION_LOCK:
            IN_FLIGHT[log] = IN_FLIGHT.get(log, 0) + 1
            OVERLAP[log] = max(OVERLAP.get(log, 0), IN_FLIGHT[log])
            IN_FLIGHT_CHANGED.notify_all()
            together = int(query.get("together", ["0"])[0])
            IN_FLIGHT_CHANGED.wait_for(lambda: IN_FLIGHT[log] >= together, timeout=5)
    try:
        return serve_range(conn, head, size, query)
    finally:
        if counted:
            with VERSION_LOCK:
                IN_FLIGHT[log] -= 1


def serve_range(conn, head, size, query):
    def option(name, default):
        return query.get(name, [default])[0]
    ignore = option("ignore", "0") == "1"
    wanted = None if ignore else requested_range(head)
    headers = [] if ignore else ["Accept-Ranges: bytes"]
    version = 1
    switch_after = option("switch_after", "")
    if switch_after:
        key = (size, tuple(sorted((k, tuple(v)) for k, v in query.items())))
        with VERSION_LOCK:
            VERSION_COUNTS[key] = VERSION_COUNTS.get(key, 0) + 1
            version = 1 if VERSION_COUNTS[key] <= int(switch_after) else 2
        tag = '"v%d"' % version
        headers.append("ETag: " + tag)
        if_range = header_value(head, b"if-range")
        if if_range is not None and if_range != tag:
            wanted = None
    if wanted is None:
        first, last, status, reason = 0, size - 1, 200, "OK"
    else:
        first, last = wanted
        if last is None or last >= size:
            last = size - 1
        if first >= size or first > last:
            conn.sendall(response(416, "Range Not Satisfiable", b"", ["Content-Range: bytes */%d" % size]))
            return True
        status, reason = 206, "Partial Content"
        shift = int(option("shift", "0"))
        if shift:
            length = last - first + 1
            first = min(first + shift, size - length)
            last = first + length - 1
        headers.append("Content-Range: bytes %d-%d/%d" % (first, last, size))
        if option("busy_at", "") == str(first):
            key = ("busy", size, tuple(sorted((k, tuple(v)) for k, v in query.items())))
            with VERSION_LOCK:
                VERSION_COUNTS[key] = VERSION_COUNTS.get(key, 0) + 1
                busy = VERSION_COUNTS[key] <= int(option("busy", "1"))
            if busy:
                conn.sendall(response(503, "Service Unavailable", b"busy", ["Retry-After: 1"]))
                return True
        if option("log", ""):
            with VERSION_LOCK:
                RANGE_LOGS.setdefault(option("log", ""), []).append("%d-%d" % (first, last))
        if option("whole_at", "") == str(first):
            first, last, status, reason = 0, size - 1, 200, "OK"
            headers = [h for h in headers if not h.startswith("Content-Range")]
        failing = option("status_at", "") == str(first) and status == 206
        if failing and option("once", "0") == "1":
            key = ("once", size, first, tuple(sorted((k, tuple(v)) for k, v in query.items())))
            with VERSION_LOCK:
                failing = key not in VERSION_COUNTS
                VERSION_COUNTS[key] = 1
        if failing:
            code = int(option("status", "404"))
            conn.sendall(response(code, "Status", ("status %d body" % code).encode()))
            return True
    body = pattern(last - first + 1, first)
    if version == 2:
        body = bytes(b ^ 0x5A for b in body)
    drop = wanted is not None and option("drop_at", "") == str(first)
    conn.sendall(response(status, reason, b"", headers + ["Content-Length: %d" % len(body)], length=False))
    log = option("log", "")
    if wanted is not None and status == 200 and log:
        with VERSION_LOCK:
            SPOILED.add(log)
    if drop:
        body = body[:len(body) // 2]
    delay = int(option("ms", "0")) / 1000.0 if wanted is not None else 0
    chunk = max(1, int(option("chunk", "4096")))
    try:
        for i in range(0, len(body), chunk):
            if delay:
                time.sleep(delay)
            conn.sendall(body[i:i + chunk])
            if log:
                with VERSION_LOCK:
                    RANGE_SENT[log] = RANGE_SENT.get(log, 0) + min(chunk, len(body) - i)
                    if log in SPOILED and wanted is not None:
                        SENT_AFTER[log] = SENT_AFTER.get(log, 0) + min(chunk, len(body) - i)
    except OSError:
        return False
    return not drop


def handle(conn, head, body):
    """Answers one request; returns True when the connection may be reused."""
    request_line = head.split(b"\r\n", 1)[0].decode("latin-1")
    parts = request_line.split(" ")
    target = parts[1] if len(parts) > 1 else "/"
    url = urllib.parse.urlsplit(target)
    path = url.path
    query = urllib.parse.parse_qs(url.query)
    base = "http://127.0.0.1:%d" % PORT

    if path == "/echo":
        conn.sendall(response(200, "OK", head + b"\r\n\r\n" + body))
        return True
    if path.startswith("/pattern/"):
        size = int(path[len("/pattern/"):])
        conn.sendall(response(200, "OK", pattern(size)))
        return True
    if path == "/nolength":
        conn.sendall(response(200, "OK", pattern(10000), ["Connection: close"], length=False))
        return False
    if path == "/short":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\n" +
                     pattern(400))
        return False
    if path == "/chunked":
        conn.sendall(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
                     b"5\r\nhello\r\n0\r\n\r\n")
        return False
    if path == "/lower":
        conn.sendall(b"HTTP/1.1 200 OK\r\ncontent-length: 5\r\nconnection: close\r\n\r\nhello")
        return False
    if path == "/badlength":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\nConnection: close\r\n\r\nhello")
        return False
    if path == "/neglength":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: -5\r\nConnection: close\r\n\r\nhello")
        return False
    if path == "/hugelength":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 9000000\r\nConnection: close\r\n\r\n" +
                     pattern(10))
        return False
    if path == "/bignolength":
        conn.sendall(response(200, "OK", pattern(9 << 20), ["Connection: close"], length=False))
        return False
    if path.startswith("/status/"):
        code = int(path[len("/status/"):])
        conn.sendall(response(code, "Status", ("status %d body" % code).encode()))
        return True
    if path == "/onespace":
        conn.sendall(b"HTTP/1.1 200\r\nContent-Length: 5\r\n\r\nhello")
        return True
    if path == "/split":
        data = response(200, "OK", pattern(20), ["X-Split: yes"])
        for piece in (data[:10], data[10:30], data[30:]):
            conn.sendall(piece)
            time.sleep(0.15)
        return True
    if path == "/bighead":
        filler = ["X-Filler-%03d: %s" % (i, "f" * 90) for i in range(100)]
        conn.sendall(response(200, "OK", pattern(20), filler))
        return True
    if path == "/trickle":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 2000\r\n\r\n")
        data = pattern(2000)
        for i in range(0, 2000, 100):
            time.sleep(0.03)
            conn.sendall(data[i:i + 100])
        return True
    if path == "/noheadclose":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-")
        return False
    if path == "/slowhead":
        log = query.get("log", [""])[0]
        count_event(log, "asked")
        time.sleep(int(query.get("ms", ["1000"])[0]) / 1000.0)
        conn.sendall(response(200, "OK", b"slow"))
        count_event(log, "answered")
        return True
    if path == "/slowbody":
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n")
        time.sleep(int(query.get("ms", ["1000"])[0]) / 1000.0)
        conn.sendall(b"slow")
        return True
    if path.startswith("/rangelog/"):
        with VERSION_LOCK:
            name = path[len("/rangelog/"):]
            lines = list(RANGE_LOGS.get(name, [])) + ["sent %d" % RANGE_SENT.get(name, 0),
                                                      "overlap %d" % OVERLAP.get(name, 0),
                                                      "after %d" % SENT_AFTER.get(name, 0)]
            lines += ["%s %d" % (event, n) for (log, event), n in sorted(EVENTS.items()) if log == name]
        conn.sendall(response(200, "OK", ("".join(line + "\n" for line in lines)).encode()))
        return True
    if path.startswith("/ranges/"):
        return serve_ranges(conn, head, int(path[len("/ranges/"):]), query)
    if path == "/redirect/abs":
        conn.sendall(redirect(base + "/pattern/5000"))
        return True
    if path == "/redirect/rel":
        conn.sendall(redirect("/pattern/5000"))
        return True
    if path == "/redirect/relative":
        conn.sendall(redirect("pattern/4000"))
        return True
    if path.startswith("/redirect/pattern/"):
        conn.sendall(response(200, "OK", pattern(int(path.rsplit("/", 1)[1]))))
        return True
    if path == "/redirect/loop":
        conn.sendall(redirect(base + "/redirect/loop"))
        return True
    if path == "/redirect/relloop":
        conn.sendall(redirect("/redirect/relloop"))
        return True
    if path == "/redirect/cross":
        conn.sendall(redirect("http://localhost:%d/echo" % PORT))
        return True
    if path == "/redirect/https":
        conn.sendall(redirect("https://127.0.0.1/small.txt"))
        return True
    if path.startswith("/redirect/status/"):
        code = int(path.rsplit("/", 1)[1])
        conn.sendall(response(code, "Redirect", b"", ["Location: /echo"]))
        return True
    if path == "/redirect/nolocation":
        conn.sendall(response(302, "Found", b"nowhere"))
        return True
    conn.sendall(response(404, "Not Found", b"no such path"))
    return True


def serve(conn):
    try:
        conn.settimeout(30)
        pending = b""
        while True:
            request = read_request(conn, pending)
            if request is None:
                return
            head, body, pending = request
            if not handle(conn, head, body):
                return
    except (OSError, ValueError):
        pass
    finally:
        try:
            conn.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        conn.close()


def main():
    global PORT
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--lifetime", type=float, default=1800)
    args = parser.parse_args()
    deadline = threading.Timer(args.lifetime, lambda: os._exit(0))
    deadline.daemon = True
    deadline.start()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    PORT = listener.getsockname()[1]
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as out:
        out.write("%d\n" % PORT)
    os.replace(tmp, args.port_file)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
