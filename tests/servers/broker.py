#!/usr/bin/python3
"""Starts and stops the test servers for test programs that cannot start them themselves
(those running under Wine). One request per connection, a line of fields separated by 0x1f:

  start <log> <port file> <argv...>   answers "ok <pid> <port>" once the port takes connections
                                      (15 s at most), else "error <the server's log>"
  stop <pid>                          answers "ok" when the server is gone

Paths are Linux paths. Listens on 127.0.0.1 only; its port goes to the file named by --port-file.
"""
import argparse
import os
import socket
import socketserver
import subprocess
import time

p = argparse.ArgumentParser()
p.add_argument("--port-file", required=True)
a = p.parse_args()
servers = {}


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def connectable(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def start(log, port_file, argv):
    with open(log, "ab") as out:
        proc = subprocess.Popen(argv, stdout=out, stderr=out, stdin=subprocess.DEVNULL)
    servers[proc.pid] = proc
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline and proc.poll() is None:
        port = read(port_file).strip()
        if port.isdigit() and connectable(int(port)):
            return "ok %d %s" % (proc.pid, port)
        time.sleep(0.02)
    stop(proc.pid)
    return "error " + argv[0] + " did not come up: " + read(log)


def stop(pid):
    proc = servers.pop(pid, None)
    if proc is not None:
        proc.kill()
        proc.wait()
    return "ok"


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        fields = self.rfile.readline().decode("utf-8").rstrip("\n").split("\x1f")
        if fields[0] == "start" and len(fields) >= 4:
            answer = start(fields[1], fields[2], fields[3:])
        elif fields[0] == "stop" and len(fields) == 2:
            answer = stop(int(fields[1]))
        else:
            answer = "error bad request"
        self.wfile.write((answer + "\n").encode("utf-8"))


socketserver.ThreadingTCPServer.allow_reuse_address = True
with socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler) as server:
    with open(a.port_file + ".part", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(a.port_file + ".part", a.port_file)
    try:
        server.serve_forever()
    finally:
        for pid in list(servers):
            stop(pid)
