#!/usr/bin/python3
"""An SFTP server on 127.0.0.1 for the tests, on paramiko.

The user "pell" logs in with --password. The
client's "/" is --root and its home folder /home; removing and renaming are not supported. A
fresh host key goes to --known-hosts as "[127.0.0.1]:<port> ssh-rsa ...", the port to
--port-file, every login and operation to --commands. --read-only refuses every write.
"""
import argparse
import os
import posixpath
import socket

import paramiko
from paramiko.sftp import SFTP_PERMISSION_DENIED

WRITES = os.O_WRONLY | os.O_RDWR | os.O_CREAT | os.O_TRUNC | os.O_APPEND
p = argparse.ArgumentParser()
for name in ("--root", "--password", "--port-file", "--known-hosts", "--commands"):
    p.add_argument(name, required=True)
p.add_argument("--read-only", action="store_true")
a = p.parse_args()
log_file = open(a.commands, "a", buffering=1, encoding="utf-8", errors="replace")
log = lambda *words: log_file.write(" ".join(words) + "\n")
virtual = lambda path: posixpath.normpath(posixpath.join("/home", path))
local = lambda path: os.path.join(a.root, virtual(path).lstrip("/"))
attrs = lambda st, name=None: setattr(x := paramiko.SFTPAttributes.from_stat(st), "filename", name) or x


def guarded(what, path, call):
    log(what, virtual(path))
    try:
        return call()
    except OSError as e:
        return paramiko.SFTPServer.convert_errno(e.errno)


class Handle(paramiko.SFTPHandle):
    def __init__(self, flags, file):
        super().__init__(flags)
        self.readfile, self.writefile = file, file if flags & WRITES else None

    def stat(self):
        return attrs(os.fstat(self.readfile.fileno()))


class Sftp(paramiko.SFTPServerInterface):
    def canonicalize(self, path):
        return virtual(path)

    def open(self, path, flags, attr):
        if a.read_only and flags & WRITES:
            return SFTP_PERMISSION_DENIED
        mode = "wb" if flags & os.O_WRONLY else "r+b" if flags & os.O_RDWR else "rb"
        return guarded("open", path, lambda: Handle(flags, os.fdopen(os.open(local(path), flags, 0o644), mode)))

    def list_folder(self, path):
        folder = local(path)
        return guarded("list", path, lambda: [attrs(os.lstat(os.path.join(folder, n)), n) for n in sorted(os.listdir(folder))])

    def stat(self, path):
        return guarded("stat", path, lambda: attrs(os.stat(local(path))))


class Login(paramiko.ServerInterface):
    def get_allowed_auths(self, username):
        return "password"

    def check_auth_password(self, username, password):
        ok = username == "pell" and password == a.password
        log("login", username, "password", "accepted" if ok else "refused")
        return paramiko.AUTH_SUCCESSFUL if ok else paramiko.AUTH_FAILED

    def check_channel_request(self, kind, chanid):
        return paramiko.OPEN_SUCCEEDED if kind == "session" else paramiko.OPEN_FAILED_ADMINISTRATIVELY_PROHIBITED


key = paramiko.RSAKey.generate(2048)
listener = socket.create_server(("127.0.0.1", 0))
port = listener.getsockname()[1]
with open(a.known_hosts, "w") as f:
    f.write("[127.0.0.1]:%d %s %s\n" % (port, key.get_name(), key.get_base64()))
with open(a.port_file + ".part", "w") as f:
    f.write(str(port))
os.rename(a.port_file + ".part", a.port_file)
while True:
    transport = paramiko.Transport(listener.accept()[0])
    transport.add_server_key(key)
    transport.set_subsystem_handler("sftp", paramiko.SFTPServer, Sftp)
    try:
        transport.start_server(server=Login())
    except (paramiko.SSHException, EOFError, OSError):
        transport.close()
