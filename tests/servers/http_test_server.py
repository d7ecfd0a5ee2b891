#!/usr/bin/env python3
"""HTTP and HTTPS test server for the network tests (standard library only).

Serves a fixed set of endpoints on 127.0.0.1, one plain and one TLS port,
and appends one line per request to a record file that the tests read:

    method <TAB> path <TAB> agent <TAB> body as hex <TAB> headers as hex

(the headers as "Name: value" lines joined by LF). Tests tag their requests
with a unique query text and pick their own lines from the file, so tests
running at the same time do not disturb each other.

When ready it writes the state file (atomically):
    http_port=N, https_port=N, refused_port=N, log=<record file>, pid=N

Endpoints (the query is ignored except where named):
    /ok                     200 "hello from the test server"
    /export-denied          403 "Export Denied"
    /forbidden              403 "Forbidden"
    /missing                404
    /proxy-auth             407
    /status/<code>          that status with an empty body
    /country?value=XX       200 with the header "COUNTRY: XX"
    /size/<n>?mode=M        n bytes; M = length (Content-Length, default),
                            close (no length, the connection ends the body)
                            or chunked
    /stall                  Content-Length 100000, 10 bytes, then nothing
    /echo                   200 with the request body (any method)
    /files/<name>           a file of the --files folder (404 when absent)
HEAD answers as GET without a body.
"""

import argparse
import http.server
import os
import socket
import socketserver
import ssl
import sys
import threading
import time

BODY_OK = b"hello from the test server"

record_lock = threading.Lock()
record_path = None
files_dir = None
stop_event = threading.Event()


def record(handler, body):
    headers = "\n".join("%s: %s" % (k, v) for k, v in handler.headers.items())
    line = "\t".join([
        handler.command,
        handler.path,
        handler.headers.get("User-Agent", ""),
        body.hex(),
        headers.encode("utf-8", "replace").hex(),
    ])
    with record_lock:
        with open(record_path, "a", encoding="utf-8") as f:
            f.write(line + "\n")
            f.flush()


class Handler(http.server.BaseHTTPRequestHandler):
    # HTTP/1.1 so that keep-alive and chunked bodies behave as with a real
    # server; every answer names its length or closes the connection.
    protocol_version = "HTTP/1.1"
    timeout = 120

    def log_message(self, fmt, *args):
        pass

    def read_body(self):
        length = int(self.headers.get("Content-Length", "0") or "0")
        return self.rfile.read(length) if length > 0 else b""

    def answer(self, status, reason=None, body=b"", headers=(), mode="length"):
        self.send_response(status, reason)
        for name, value in headers:
            self.send_header(name, value)
        if mode == "length":
            self.send_header("Content-Length", str(len(body)))
        elif mode == "chunked":
            self.send_header("Transfer-Encoding", "chunked")
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if self.command == "HEAD":
            return
        if mode == "chunked":
            step = 65536
            for i in range(0, len(body), step):
                piece = body[i:i + step]
                self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
            self.wfile.write(b"0\r\n\r\n")
        else:
            self.wfile.write(body)

    def handle_any(self):
        body = self.read_body()
        record(self, body)
        path, _, query = self.path.partition("?")
        params = dict(p.partition("=")[::2] for p in query.split("&") if p)
        if path == "/ok":
            self.answer(200, body=BODY_OK)
        elif path == "/export-denied":
            self.answer(403, "Export Denied", b"denied")
        elif path == "/forbidden":
            self.answer(403, "Forbidden", b"forbidden")
        elif path == "/missing":
            self.answer(404, "Not Found", b"missing")
        elif path == "/proxy-auth":
            self.answer(407, "Proxy Authentication Required", b"auth")
        elif path.startswith("/status/"):
            self.answer(int(path[len("/status/"):]))
        elif path == "/country":
            self.answer(200, body=b"country", headers=[("COUNTRY", params.get("value", ""))])
        elif path.startswith("/size/"):
            n = int(path[len("/size/"):])
            self.answer(200, body=b"x" * n, mode=params.get("mode", "length"))
        elif path == "/stall":
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(b"0123456789")
                self.wfile.flush()
                # Hold the connection until the client gives up or the
                # server stops.
                stop_event.wait(90)
            self.close_connection = True
        elif path == "/echo":
            self.answer(200, body=body)
        elif path.startswith("/files/") and files_dir:
            name = os.path.basename(path[len("/files/"):])
            full = os.path.join(files_dir, name)
            if os.path.isfile(full):
                with open(full, "rb") as f:
                    self.answer(200, body=f.read())
            else:
                self.answer(404, "Not Found")
        else:
            self.answer(404, "Not Found")

    do_GET = do_POST = do_HEAD = do_PUT = handle_any


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def refusing_socket():
    # Bound but never listening: a connection to its port is refused, and as
    # long as this server runs no other program (a test's own listener on an
    # ephemeral port, say) can be given the port and answer there instead.
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    return s


def main():
    global record_path, files_dir
    parser = argparse.ArgumentParser()
    parser.add_argument("--state", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--files")
    parser.add_argument("--max-lifetime", type=int, default=1800)
    args = parser.parse_args()
    record_path = args.log
    files_dir = args.files
    open(record_path, "w").close()

    plain = Server(("127.0.0.1", 0), Handler)
    secure = Server(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    secure.socket = context.wrap_socket(secure.socket, server_side=True)

    for server in (plain, secure):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    refused = refusing_socket()

    tmp = args.state + ".tmp"
    with open(tmp, "w") as f:
        f.write("http_port=%d\n" % plain.server_address[1])
        f.write("https_port=%d\n" % secure.server_address[1])
        f.write("refused_port=%d\n" % refused.getsockname()[1])
        f.write("log=%s\n" % os.path.abspath(record_path))
        f.write("files=%s\n" % os.path.abspath(files_dir or ""))
        f.write("pid=%d\n" % os.getpid())
    os.replace(tmp, args.state)

    # A run that never reaches its clean-up step must not leave us behind.
    deadline = time.time() + args.max_lifetime
    try:
        while time.time() < deadline:
            time.sleep(0.5)
    except KeyboardInterrupt:
        pass
    stop_event.set()
    return 0


if __name__ == "__main__":
    sys.exit(main())
