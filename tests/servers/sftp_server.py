#!/usr/bin/python3
"""An SFTP server on 127.0.0.1 for the tests, on paramiko.

One user logs in with a password. Paths map inside --root, which the client sees as "/";
its home folder ("~", where relative paths start) is --home inside it. A fresh RSA host key
is made at start and written to --known-hosts as "[127.0.0.1]:<port> ssh-rsa ...". The port
goes to --port-file once the server listens. Every login and SFTP operation is appended to
--commands, one per line. --read-only refuses every write with "permission denied".
"""
import argparse
import os
import posixpath
import socket
import threading

import paramiko
from paramiko.sftp import SFTP_NO_SUCH_FILE, SFTP_OK, SFTP_OP_UNSUPPORTED, SFTP_PERMISSION_DENIED

WRITES = os.O_WRONLY | os.O_RDWR | os.O_CREAT | os.O_TRUNC | os.O_APPEND
FLAG_NAMES = [(os.O_WRONLY, "write"), (os.O_RDWR, "read-write"), (os.O_CREAT, "create"),
              (os.O_TRUNC, "truncate"), (os.O_APPEND, "append"), (os.O_EXCL, "exclusive")]


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--home", default="/")
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--port-file", required=True)
    p.add_argument("--known-hosts", required=True)
    p.add_argument("--commands", required=True)
    p.add_argument("--read-only", action="store_true")
    a = p.parse_args()

    log_file = open(a.commands, "a", buffering=1, encoding="utf-8", errors="replace")
    log_lock = threading.Lock()

    def log(*words):
        with log_lock:
            log_file.write(" ".join(words) + "\n")

    def virtual(path):
        """The client's path as an absolute one inside the served tree ("/.." stays "/")."""
        return posixpath.normpath(posixpath.join(a.home, path))

    def local(path):
        return os.path.join(a.root, virtual(path).lstrip("/"))

    def refused(error):
        return paramiko.SFTPServer.convert_errno(error.errno)

    class Handle(paramiko.SFTPHandle):
        def __init__(self, path, flags, file):
            super().__init__(flags)
            self.path = path
            self.readfile = file
            self.writefile = file if flags & WRITES else None

        def stat(self):
            return paramiko.SFTPAttributes.from_stat(os.fstat(self.readfile.fileno()))

        def chattr(self, attr):
            return SFTP_OK

        def close(self):
            log("close", self.path)
            super().close()

    class Sftp(paramiko.SFTPServerInterface):
        def canonicalize(self, path):
            log("realpath", path, "->", virtual(path))
            return virtual(path)

        def open(self, path, flags, attr):
            names = [name for bit, name in FLAG_NAMES if flags & bit] or ["read"]
            log("open", virtual(path), ",".join(names))
            if a.read_only and flags & WRITES:
                return SFTP_PERMISSION_DENIED
            mode = getattr(attr, "st_mode", None) or 0o644
            try:
                fd = os.open(local(path), flags, mode & 0o777)
            except OSError as e:
                return refused(e)
            if flags & os.O_APPEND:
                kind = "ab"
            elif flags & os.O_RDWR:
                kind = "r+b"
            else:
                kind = "wb" if flags & os.O_WRONLY else "rb"
            return Handle(virtual(path), flags, os.fdopen(fd, kind))

        def list_folder(self, path):
            log("list", virtual(path))
            try:
                entries = []
                for name in sorted(os.listdir(local(path))):
                    attr = paramiko.SFTPAttributes.from_stat(os.lstat(os.path.join(local(path), name)))
                    attr.filename = name
                    entries.append(attr)
                return entries
            except OSError as e:
                return refused(e)

        def stat(self, path):
            log("stat", virtual(path))
            try:
                return paramiko.SFTPAttributes.from_stat(os.stat(local(path)))
            except OSError as e:
                return refused(e)

        def lstat(self, path):
            log("lstat", virtual(path))
            try:
                return paramiko.SFTPAttributes.from_stat(os.lstat(local(path)))
            except OSError as e:
                return refused(e)

        def chattr(self, path, attr):
            log("setstat", virtual(path))
            return SFTP_PERMISSION_DENIED if a.read_only else SFTP_OK

        def remove(self, path):
            log("remove", virtual(path))
            return SFTP_OP_UNSUPPORTED

        def rename(self, oldpath, newpath):
            log("rename", virtual(oldpath), virtual(newpath))
            return SFTP_OP_UNSUPPORTED

        def mkdir(self, path, attr):
            log("mkdir", virtual(path))
            return SFTP_OP_UNSUPPORTED

        def rmdir(self, path):
            log("rmdir", virtual(path))
            return SFTP_OP_UNSUPPORTED

        def readlink(self, path):
            log("readlink", virtual(path))
            return SFTP_NO_SUCH_FILE

    class Login(paramiko.ServerInterface):
        # Keys are offered as a real server offers them, and every one is refused.
        def get_allowed_auths(self, username):
            return "publickey,password"

        def check_auth_password(self, username, password):
            ok = username == a.user and password == a.password
            log("login", username, "password", "accepted" if ok else "refused")
            return paramiko.AUTH_SUCCESSFUL if ok else paramiko.AUTH_FAILED

        def check_auth_publickey(self, username, key):
            log("login", username, "publickey", key.get_name(), "refused")
            return paramiko.AUTH_FAILED

        def check_channel_request(self, kind, chanid):
            if kind == "session":
                return paramiko.OPEN_SUCCEEDED
            return paramiko.OPEN_FAILED_ADMINISTRATIVELY_PROHIBITED

    key = paramiko.RSAKey.generate(2048)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    port = listener.getsockname()[1]
    with open(a.known_hosts, "w") as f:
        f.write("[127.0.0.1]:%d %s %s\n" % (port, key.get_name(), key.get_base64()))
    tmp = a.port_file + ".part"
    with open(tmp, "w") as f:
        f.write(str(port))
    os.rename(tmp, a.port_file)

    while True:
        conn, _ = listener.accept()
        transport = paramiko.Transport(conn)
        transport.add_server_key(key)
        transport.set_subsystem_handler("sftp", paramiko.SFTPServer, Sftp)
        try:
            transport.start_server(server=Login())
        except (paramiko.SSHException, EOFError, OSError):
            transport.close()


if __name__ == "__main__":
    main()
