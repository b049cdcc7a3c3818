#!/usr/bin/python3
"""An FTP (or explicit-TLS FTPS) server on 127.0.0.1 for the tests, on pyftpdlib.

It listens on a free port, writes that port to --port-file once it accepts connections,
and appends every command it receives to --commands, one per line, so that a test can
check what the client sent. --read-only refuses uploads with 550. --exit-after-upload ends
the server, unanswered, at the first command that follows a completed upload.
"""
import argparse
import os

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--port-file", required=True)
    p.add_argument("--commands", required=True)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--read-only", action="store_true")
    p.add_argument("--exit-after-upload", action="store_true")
    a = p.parse_args()

    base = FTPHandler
    if a.cert:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler

    log = open(a.commands, "a", buffering=1, encoding="utf-8", errors="replace")

    class Handler(base):
        uploaded = False

        def pre_process_command(self, line, cmd, arg):
            log.write(line + "\n")
            if a.exit_after_upload and Handler.uploaded:
                os._exit(0)
            return super().pre_process_command(line, cmd, arg)

        def on_file_received(self, file):
            Handler.uploaded = True

    if a.cert:
        from pyftpdlib.handlers import TLS_DTPHandler

        class DataHandler(TLS_DTPHandler):
            # curl starts TLS on a data connection before it sends STOR or LIST; the stock
            # handler drops a connection that turns readable before a transfer is asked for.
            def readable(self):
                return self._ssl_accepting or super().readable()

        Handler.dtp_handler = DataHandler
        Handler.certfile = a.cert
        Handler.keyfile = a.key
        Handler.tls_control_required = True
        Handler.tls_data_required = True

    auth = DummyAuthorizer()
    auth.add_user(a.user, a.password, a.root, perm="elr" if a.read_only else "elradfmwMT")
    Handler.authorizer = auth
    Handler.passive_ports = None
    Handler.banner = "pellvane test server ready"
    # A refused login answers at once instead of after the default 3 s.
    Handler.auth_failed_timeout = 0.05

    server = FTPServer(("127.0.0.1", 0), Handler)
    port = server.socket.getsockname()[1]
    tmp = a.port_file + ".part"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.rename(tmp, a.port_file)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
