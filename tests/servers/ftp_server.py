#!/usr/bin/python3
"""An FTP (or explicit-TLS FTPS) server on 127.0.0.1 for the tests, on pyftpdlib: the script
and the faults are those of FtpOptions in support/servers.h; every command goes to --commands.
"""
import argparse, os, time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

p = argparse.ArgumentParser()
for name in ("--root", "--user", "--password", "--port-file", "--commands", "--script"):
    p.add_argument(name, required=True)
for name in ("--cert", "--key", "--login-folder"):
    p.add_argument(name)
p.add_argument("--exit-after-upload", action="store_true")
p.add_argument("--keep-bytes", type=int, default=-1)
a = p.parse_args()
log = open(a.commands, "a", buffering=1, encoding="utf-8", errors="replace")
script = {c.upper(): (int(d) / 1000, r) for c, d, r in (l.rstrip("\n").split(" ", 2) for l in open(a.script))}


class Handler(TLS_FTPHandler if a.cert else FTPHandler):
    uploaded = False

    def pre_process_command(self, line, cmd, arg):
        log.write(line + "\n")
        if a.exit_after_upload and Handler.uploaded:
            os._exit(0)
        if cmd in script:
            delay, reply = script[cmd]
            time.sleep(delay)
            return self.respond(reply)
        return super().pre_process_command(line, cmd, arg)

    def on_file_received(self, file):
        Handler.uploaded = True
        if a.keep_bytes >= 0:  # a full disk that still answers 226
            os.truncate(file, a.keep_bytes)

    def on_login(self, username):
        if a.login_folder:
            self.fs.cwd = a.login_folder


if a.cert:
    class DataHandler(TLS_DTPHandler):
        # curl starts TLS on a data connection before it sends STOR or LIST; the stock handler
        # drops a connection that turns readable before a transfer is asked for.
        def readable(self):
            return self._ssl_accepting or super().readable()

    Handler.dtp_handler = DataHandler
    Handler.certfile, Handler.keyfile = a.cert, a.key
    Handler.tls_control_required = Handler.tls_data_required = True
Handler.authorizer = DummyAuthorizer()
Handler.authorizer.add_user(a.user, a.password, a.root, perm="elradfmwMT")
Handler.banner = "pellvane test server ready"
Handler.auth_failed_timeout = 0.05  # a refused login answers at once, not after 3 s
server = FTPServer(("127.0.0.1", 0), Handler)
with open(a.port_file + ".part", "w") as f:
    f.write(str(server.socket.getsockname()[1]))
os.rename(a.port_file + ".part", a.port_file)
server.serve_forever(handle_exit=True)
