#!/usr/bin/python3
"""An HTTP echo page on 127.0.0.1 for the tests, misbehaving on request.

A path answers what the test left in --pages (a file named by the path, "%2F" for each slash:
the status, a line end, the body), 404 otherwise. Query faults: delay_ms=N, status=N, size=N (N
digits as the body), trickle_ms=N (a byte every N ms), close_after=N (hang up after N body
bytes), redirect=PATH (a 302), hang=1, nolength=1 (the close ends the body), chunked=1,
reason=TEXT (%XX decoded), reason_header=NAME (that request header's value as the reason, as a
server or proxy may repeat what it got). Request lines go to --commands; asked as a proxy, it
answers for the URL it is asked for.
"""
import argparse, os, time, urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

p = argparse.ArgumentParser()
for name in ("--pages", "--port-file", "--commands"):
    p.add_argument(name, required=True)
a = p.parse_args()
log = open(a.commands, "a", buffering=1, encoding="utf-8", errors="replace")
DIGITS = b"0123456789" * 6401


class Echo(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    log_message = lambda self, *args: None

    def do_GET(self):
        log.write(self.requestline + "\n")
        url = urllib.parse.urlsplit(self.path)
        q = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        n = lambda key: int(q[key]) if key in q else -1
        try:
            with open(os.path.join(a.pages, url.path.replace("/", "%2F")), "rb") as f:
                status, body = f.read().split(b"\n", 1)
        except OSError:
            status, body = b"404", b"Not Found"
        time.sleep(3600 if "hang" in q else max(n("delay_ms"), 0) / 1000)
        code = n("status") if "status" in q else 302 if "redirect" in q else int(status)
        repeated = self.headers.get(q.get("reason_header", ""))
        self.send_response(code, repeated if "reason_header" in q else q.get("reason"))
        self.send_header("Connection", "close")
        if "redirect" in q:
            self.send_header("Location", q["redirect"])
        length = n("size") if "size" in q else len(body)
        if "chunked" in q:
            self.send_header("Transfer-Encoding", "chunked")
        elif "nolength" not in q:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        end = min(length, n("close_after")) if "close_after" in q else length
        block = 1 if "trickle_ms" in q else 64000  # a multiple of 10 keeps the digits aligned
        for at in range(0, end, block):  # a client that hangs up ends this thread
            piece = DIGITS[at % 10:at % 10 + min(block, end - at)] if "size" in q else body[at:at + block]
            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece) if "chunked" in q else piece)
            time.sleep(max(n("trickle_ms"), 0) / 1000)
        if "chunked" in q and end == length:
            self.wfile.write(b"0\r\n\r\n")


server = ThreadingHTTPServer(("127.0.0.1", 0), Echo)
server.daemon_threads = True
with open(a.port_file + ".part", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(a.port_file + ".part", a.port_file)
server.serve_forever()
