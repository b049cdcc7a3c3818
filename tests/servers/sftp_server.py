#!/usr/bin/python3
"""An SFTP server on 127.0.0.1 for the tests, on paramiko, that takes uploads and tells the size
of what it keeps.

The user "pell" logs in with --password. The client's "/" is --root and its home folder /home.
A fresh host key goes to --known-hosts as "[127.0.0.1]:<port> ssh-rsa ...", the port to
--port-file, every login to --commands as "login accepted" or "login refused".
"""
import argparse, os, posixpath, socket

import paramiko

p = argparse.ArgumentParser()
for name in ("--root", "--password", "--port-file", "--known-hosts", "--commands"):
    p.add_argument(name, required=True)
a = p.parse_args()
log = open(a.commands, "a", buffering=1, encoding="utf-8")
virtual = lambda path: posixpath.normpath(posixpath.join("/home", path))
real = lambda path: os.path.join(a.root, virtual(path).lstrip("/"))


class Sftp(paramiko.SFTPServerInterface):
    def canonicalize(self, path):
        return virtual(path)

    def open(self, path, flags, attr):
        handle = paramiko.SFTPHandle(flags)
        try:
            if flags & (os.O_WRONLY | os.O_RDWR):
                handle.writefile = open(real(path), "wb")
            else:
                handle.readfile = open(real(path), "rb")
        except OSError as e:
            return paramiko.SFTPServer.convert_errno(e.errno)
        return handle

    def stat(self, path):
        try:
            return paramiko.SFTPAttributes.from_stat(os.stat(real(path)))
        except OSError as e:
            return paramiko.SFTPServer.convert_errno(e.errno)

    lstat = stat


class Login(paramiko.ServerInterface):
    def get_allowed_auths(self, username):
        return "password"

    def check_auth_password(self, username, password):
        ok = username == "pell" and password == a.password
        log.write("login %s\n" % ("accepted" if ok else "refused"))
        return paramiko.AUTH_SUCCESSFUL if ok else paramiko.AUTH_FAILED

    def check_channel_request(self, kind, chanid):
        return paramiko.OPEN_SUCCEEDED


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
