#!/usr/bin/python3
"""Starts and stops the test servers for test programs under Wine, which cannot start Linux
programs. One request a connection, its fields separated by 0x1f: "start <log> <port file>
<argv...>" answers "ok <pid> <port>" once the port takes connections (15 s at most) or "error
<the server's log>"; "stop <pid>" ends that server and answers "ok". Linux paths; listens on
127.0.0.1, its port goes to --port-file."""
import argparse, os, socket, socketserver, subprocess, time

p = argparse.ArgumentParser()
p.add_argument("--port-file", required=True)
a = p.parse_args()
servers = {}


def start(log, port_file, argv):
    with open(log, "ab") as out:
        proc = subprocess.Popen(argv, stdout=out, stderr=out, stdin=subprocess.DEVNULL)
    servers[proc.pid] = proc
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline and proc.poll() is None:
        port = open(port_file).read().strip() if os.path.exists(port_file) else ""
        with socket.socket() as s:
            if port.isdigit() and s.connect_ex(("127.0.0.1", int(port))) == 0:
                return "ok %d %s" % (proc.pid, port)
        time.sleep(0.02)
    stop(proc.pid)
    return "error %s did not come up: %s" % (argv[0], open(log, errors="replace").read())


def stop(pid):
    proc = servers.pop(pid, None)
    if proc is not None:
        proc.kill()
        proc.wait()
    return "ok"


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        f = self.rfile.readline().decode("utf-8").rstrip("\n").split("\x1f")
        answer = (start(f[1], f[2], f[3:]) if f[0] == "start" and len(f) > 3 else
                  stop(int(f[1])) if f[0] == "stop" and len(f) == 2 else "error bad request")
        self.wfile.write((answer + "\n").encode("utf-8"))


with socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler) as server:
    with open(a.port_file + ".part", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(a.port_file + ".part", a.port_file)
    try:
        server.serve_forever()
    finally:
        for pid in list(servers):
            stop(pid)
