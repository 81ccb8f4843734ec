"""A loopback stand-in for the radio station's web host.

WinInet reaches it as its proxy (http_proxy=http://127.0.0.1:PORT), so every request arrives
with the absolute URL. It serves:

  ON-AIR PATH                the on-air page: the bytes of page_file, read anew per request
                             (the path is the build's, wire_facts.py)
  /pages/NAME                a file from pages_dir
  /test/echo                 the request line and headers as received
  /test/counter              "count N", N rising with every request
  /test/empty                an empty body
  /test/bytes/N              N bytes of a pattern that holds zero bytes
  /test/status/CODE          an error page with that status
  /test/redirect/N           N redirections (relative) before "arrived"
  /test/redirect-loop        a redirection to itself
  /test/redirect-loop/count  "count N", N the redirections to itself answered so far
  /test/slow-redirect-loop   a redirection to itself, each answered a second late
  /test/slow-redirect-loop/count  "count N", N the requests of it so far
  /test/cut                  headers announcing 4000 bytes, 1000 of them, then closed
  /test/stall                headers announcing a body, then nothing until the station stops
  /test/endless              headers with no length, then a body without end

The on-air path can instead misbehave (Station.misbehave): answer as one of the test paths
does, close the connection in the middle of the body, send its headers and then nothing until
the station stops, send a body without end, or drip its answer a byte at a time.

Every request is recorded (request line and headers) for the tests to read.
"""

import argparse
import http.server
import os
import signal
import sys
import threading
import urllib.parse

import options
from wire_facts import WireFacts

def pattern_bytes(count):
    return bytes(i % 251 for i in range(count))


SLOW_REDIRECT_S = 1

# Test paths whose answer goes wrong on the wire (see Station.misbehave).
STREAM_FAULTS = {
    "/test/cut": ("cut", pattern_bytes(4000), 1000),
    "/test/stall": ("stall",),
    "/test/endless": ("endless",),
}


class Station:
    """on_air_path: where the program asks for the on-air page (WireFacts.on_air_path)."""

    def __init__(self, on_air_path, page_file=None, pages_dir=None, port=0):
        self.on_air_path = on_air_path
        self.page_file = page_file
        self.pages_dir = pages_dir
        self.requests = []
        self.misbehaviour = None
        self.on_air_headers = {}  # sent with the on-air page besides the usual ones
        self.answers_ended = []  # the kind of each misbehaving answer, once it has ended
        # False: every answer closes its connection, so that no client keeps one for reuse.
        self.keep_alive = True
        self._stop = threading.Event()
        self._counter = 0
        self._loops = 0
        self._slow_loops = 0
        self._lock = threading.Lock()
        station = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                raw = station._record(self)
                path = urllib.parse.urlsplit(self.path).path
                misbehaviour = STREAM_FAULTS.get(path)
                if path == station.on_air_path and station.misbehaviour:
                    misbehaviour = station.misbehaviour
                    if misbehaviour[0] == "as":
                        path, misbehaviour = misbehaviour[1], None
                    elif misbehaviour[0] == "late":
                        station._stop.wait(misbehaviour[1])
                        misbehaviour = None
                if misbehaviour:
                    return station._misbehave(self, misbehaviour)
                status, body, *headers = station._answer(path, raw)
                if not station.keep_alive:
                    headers = [dict(headers[0] if headers else {}, Connection="close")]
                station._head(self, status, len(body), *headers)
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        self._thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def start(self):
        self._thread.start()
        return self

    def stop(self):
        self._stop.set()  # a stalled answer ends
        self.server.shutdown()
        self.server.server_close()

    def end_answers(self):
        """The answers in progress (stalled, dripping, endless) end; the station goes on."""
        ending, self._stop = self._stop, threading.Event()
        ending.set()

    @property
    def proxy(self):
        return "http://127.0.0.1:%d" % self.port

    def misbehave(self, how, *args):
        """The on-air path from now on answers so:
          ("as", PATH)              as the test path PATH does (an error status, a redirection loop)
          ("late", SECONDS)         the page file, after SECONDS (or at end_answers())
          ("cut", BYTES, N)         headers announcing BYTES, the first N of them, then closed
          ("stall",)                headers announcing a body, then nothing until stop()
          ("endless",)              headers with no length, then 64 KiB lines until the
                                    program hangs up or stop()
          ("drip", SECONDS, HEAD)   one byte every SECONDS until the program hangs up or
                                    stop(): the whole answer, or only its body when HEAD
                                    (the headers at once)
        A stalled, endless or dripping answer also ends at end_answers().
          None                      the page file again"""
        self.misbehaviour = (how,) + args if how else None

    def _misbehave(self, handler, misbehaviour):
        how, *args = misbehaviour
        stop = self._stop  # this answer's: end_answers() replaces the station's
        if how == "cut":
            body, count = args
            self._head(handler, 200, len(body))
            handler.wfile.write(body[:count])
            handler.wfile.flush()
            handler.close_connection = True
        elif how == "stall":
            self._head(handler, 200, 10000)
            handler.wfile.flush()
            stop.wait()
            handler.close_connection = True
        elif how == "endless":
            self._send_until_hung_up(handler, self._endless_body(stop))
        elif how == "drip":
            interval, head_at_once = args
            head = b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 10000\r\n\r\n"
            if head_at_once:
                handler.wfile.write(head)
            self._send_until_hung_up(handler, self._dripped((b"" if head_at_once else head) + b"x" * 10000,
                                                             interval, stop))
        else:
            raise ValueError(how)
        self.answers_ended.append(how)

    @staticmethod
    def _endless_body(stop):
        yield b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n"
        line = b"x" * 65535 + b"\n"
        while not stop.is_set():
            yield line

    @staticmethod
    def _dripped(answer, interval, stop):
        for i in range(len(answer)):
            yield answer[i:i + 1]
            if stop.wait(interval):
                return

    @staticmethod
    def _send_until_hung_up(handler, pieces):
        try:
            for piece in pieces:
                handler.wfile.write(piece)
        except OSError:  # the program hung up: what it was meant to do
            pass
        handler.close_connection = True

    @staticmethod
    def _head(handler, status, length, headers=None):
        handler.send_response(status)
        for name, value in (headers or {}).items():
            handler.send_header(name, value)
        handler.send_header("Content-Type", "text/html; charset=Shift_JIS")
        handler.send_header("Content-Length", str(length))
        handler.end_headers()

    def _record(self, handler):
        raw = handler.requestline + "\r\n" + "".join("%s: %s\r\n" % kv for kv in handler.headers.items())
        with self._lock:
            self.requests.append(raw)
        return raw

    def _read(self, path):
        try:
            with open(path, "rb") as f:
                return 200, f.read()
        except OSError:
            return 404, b"<html>no such page</html>"

    def _answer(self, path, raw):
        if path == self.on_air_path:
            status, body = self._read(self.page_file) if self.page_file else (404, b"<html>no page set</html>")
            return status, body, dict(self.on_air_headers)
        if path.startswith("/pages/") and self.pages_dir:
            return self._read(os.path.join(self.pages_dir, os.path.basename(path)))
        if path == "/test/echo":
            return 200, raw.encode("latin-1")
        if path == "/test/counter":
            with self._lock:
                self._counter += 1
                return 200, b"count %d" % self._counter
        if path == "/test/empty":
            return 200, b""
        if path.startswith("/test/bytes/"):
            return 200, pattern_bytes(int(path.rsplit("/", 1)[1]))
        if path.startswith("/test/redirect/"):
            hops = int(path.rsplit("/", 1)[1])
            if hops == 0:
                return 200, b"arrived"
            return 302, b"", {"Location": "/test/redirect/%d" % (hops - 1)}
        if path == "/test/redirect-loop":
            with self._lock:
                self._loops += 1
            return 302, b"", {"Location": "/test/redirect-loop"}
        if path == "/test/redirect-loop/count":
            return 200, b"count %d" % self._loops
        if path == "/test/slow-redirect-loop":
            with self._lock:
                self._slow_loops += 1
            self._stop.wait(SLOW_REDIRECT_S)
            return 302, b"", {"Location": "/test/slow-redirect-loop"}
        if path == "/test/slow-redirect-loop/count":
            return 200, b"count %d" % self._slow_loops
        if path.startswith("/test/status/"):
            code = int(path.rsplit("/", 1)[1])
            return code, b"<html>status %d page</html>" % code
        return 404, b"<html>not found</html>"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    options.add_arguments(parser)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--page", help="file served as the on-air page")
    parser.add_argument("--pages-dir")
    parser.add_argument("--port-file", help="write the port here once listening")
    args = parser.parse_args()
    station = Station(WireFacts.of(args.build_dir).on_air_path, args.page, args.pages_dir, args.port).start()
    if args.port_file:
        with open(args.port_file, "w") as f:
            f.write(str(station.port))
    print("station on %s" % station.proxy, flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *a: stop.set())
    signal.signal(signal.SIGINT, lambda *a: stop.set())
    stop.wait()
    station.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
