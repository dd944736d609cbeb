#!/usr/bin/python3
"""SMTP server of the mail sandbox (started by scripts/mail-sandbox).

Accepts every message on loopback and delivers it, byte for byte as received (line ends
as sent, dot-stuffing undone), into the Maildir of each recipient: the local part of the
address names the user, whose Maildir is MAIL_ROOT/<user>/Maildir, the one the sandbox's
POP3 server serves. A local part that is not a plain name goes to the default user. Each
delivery is also logged as one JSON line (helo, envelope, users, size) so that tests can
check the envelope (and the login and whether TLS carried it).

The plain port offers STARTTLS, and AUTH PLAIN/LOGIN once TLS stands; a second port speaks
TLS from the start, and a third shows an expired certificate. Any login name with the
sandbox password is accepted.

Prints the three ports it listens on (plain, TLS, expired) on the first line of standard
output.
"""
import argparse
import asyncio
import json
import os
import re
import socket
import ssl
import time

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

USER_NAME = re.compile(r"^[A-Za-z0-9_][A-Za-z0-9._-]{0,63}$")


class MaildirDelivery:
    def __init__(self, mail_root, default_user, log_path):
        self.mail_root = mail_root
        self.default_user = default_user
        self.log_path = log_path
        self.counter = 0

    def users_of(self, recipients):
        users = []
        for address in recipients:
            local = address.rsplit("@", 1)[0] if "@" in address else address
            # Dovecot folds user names to lower case; so must the delivery.
            user = local.lower() if USER_NAME.match(local) else self.default_user
            if user not in users:
                users.append(user)
        return users or [self.default_user]

    def deliver(self, user, data):
        maildir = os.path.join(self.mail_root, user, "Maildir")
        for sub in ("tmp", "new", "cur"):
            os.makedirs(os.path.join(maildir, sub), mode=0o777, exist_ok=True)
        self.counter += 1
        name = "%d.P%dQ%d.sandbox" % (time.time_ns(), os.getpid(), self.counter)
        temporary = os.path.join(maildir, "tmp", name)
        with open(temporary, "wb") as out:
            out.write(data)
            out.flush()
            os.fsync(out.fileno())
        os.rename(temporary, os.path.join(maildir, "new", name))
        return name

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        # Offers command pipelining (RFC 2920), as the common mail servers do: aiosmtpd
        # reads commands in order from its buffer, so a group is answered in order. The
        # reply goes in one write, as theirs does, not one packet per line.
        session.host_name = hostname
        return ["\r\n".join(responses[:-1] + ["250-PIPELINING"] + responses[-1:])]

    async def handle_DATA(self, server, session, envelope):
        data = envelope.original_content or b""
        users = self.users_of(envelope.rcpt_tos)
        names = [self.deliver(user, data) for user in users]
        entry = {
            "helo": session.host_name,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "users": users,
            "files": names,
            "size": len(data),
            "login": (session.login_data or b"").decode("utf-8", "replace"),
            "tls": session.ssl is not None or server.transport.get_extra_info("sslcontext") is not None,
        }
        with open(self.log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps(entry) + "\n")
        return "250 OK"


class SandboxPassword:
    def __init__(self, password):
        self.password = password.encode("utf-8")

    def __call__(self, server, session, envelope, mechanism, auth_data):
        good = isinstance(auth_data, LoginPassword) and auth_data.password == self.password
        return AuthResult(success=good, handled=False, auth_data=auth_data)


class Smtp(SMTP):
    # Each reply is written on its own: without TCP_NODELAY, the second reply to a pipelined
    # group (or the second line of a multi-line reply) waits for the client's delayed ACK,
    # about 40 ms.
    def connection_made(self, transport):
        sock = transport.get_extra_info("socket")
        if sock is not None:
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        super().connection_made(transport)


def tls_context(cert, key):
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


async def listen(loop, factory, port, context=None):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    server = await loop.create_server(factory, sock=listener, ssl=context)
    return server, listener.getsockname()[1]


async def serve(arguments):
    os.umask(0)
    delivery = MaildirDelivery(arguments.mail_root, arguments.default_user, arguments.log)
    loop = asyncio.get_running_loop()
    password = SandboxPassword(arguments.password)
    context = tls_context(arguments.cert, arguments.key)
    common = dict(hostname="sandbox.invalid", data_size_limit=64 << 20, authenticator=password)
    plain, plain_port = await listen(loop, lambda: Smtp(delivery, tls_context=context, **common), arguments.port)
    # TLS from the start: aiosmtpd sees no STARTTLS, so AUTH must not wait for one.
    implicit = lambda: Smtp(delivery, auth_require_tls=False, **common)
    secure, secure_port = await listen(loop, implicit, 0, context)
    expired, expired_port = await listen(loop, implicit, 0, tls_context(arguments.expired_cert, arguments.expired_key))
    print(plain_port, secure_port, expired_port, flush=True)
    async with plain, secure, expired:
        await asyncio.gather(plain.serve_forever(), secure.serve_forever(), expired.serve_forever())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--mail-root", required=True)
    parser.add_argument("--default-user", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--password", required=True)
    for name in ("cert", "key", "expired-cert", "expired-key"):
        parser.add_argument("--" + name, required=True)
    asyncio.run(serve(parser.parse_args()))


if __name__ == "__main__":
    main()
