#!/usr/bin/python3
"""SMTP server of the mail sandbox (started by scripts/mail-sandbox).

Accepts every message on loopback and delivers it, byte for byte as received (line ends
as sent, dot-stuffing undone), into the Maildir of each recipient: the local part of the
address names the user, whose Maildir is MAIL_ROOT/<user>/Maildir, the one the sandbox's
POP3 server serves. A local part that is not a plain name goes to the default user. Each
delivery is also logged as one JSON line (helo, envelope, users, size) so that tests can
check the envelope (and the login and whether TLS carried it).

The plain port offers STARTTLS, and AUTH once TLS stands; a second port speaks TLS from the
start, and a third shows an expired certificate. PLAIN and LOGIN take any login name with
the sandbox password. XOAUTH2 (the only token mechanism offered, as at some large providers,
while the POP3 server offers OAUTHBEARER too) takes an access token of the sandbox's OAuth2
server that its introspection calls active, for the user the SASL string names, with the
sandbox scope; a refused token gets the error challenge (334 and a JSON status), and 535
once the client has answered it. Each login, taken or refused, is written to standard error
(user and mechanism, never a password or token).

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
import sys
import time
import urllib.parse
import urllib.request
from base64 import b64decode
from collections import namedtuple

from aiosmtpd.smtp import MISSING, SMTP, AuthResult, LoginPassword

USER_NAME = re.compile(r"^[A-Za-z0-9_][A-Za-z0-9._-]{0,63}$")
# What a token login leaves in the session: the deliveries log shows `login`.
OAuthLogin = namedtuple("OAuthLogin", "login mechanism")


def log_login(user, mechanism, refusal=None):
    name = user.decode("utf-8", "replace") if isinstance(user, bytes) else user
    if refusal:
        print("login refused: user=%r mechanism=%s: %s" % (name, mechanism, refusal), file=sys.stderr, flush=True)
    else:
        print("login: user=%r mechanism=%s" % (name, mechanism), file=sys.stderr, flush=True)


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
        if isinstance(auth_data, LoginPassword):
            log_login(auth_data.login, mechanism, None if good else "wrong password")
        return AuthResult(success=good, handled=False, auth_data=auth_data)


def split_pairs(fields):
    """key=value fields of a token login (RFC 7628 kvpair); None when one is malformed."""
    pairs = {}
    for field in fields:
        key, equals, value = field.partition("=")
        if not equals or not key.isalpha():
            return None
        pairs[key] = value
    return pairs


def bearer(pairs):
    scheme, _, token = (pairs or {}).get("auth", "").partition(" ")
    return token.strip() if scheme.lower() == "bearer" and token.strip() else None


def parse_xoauth2(text):
    """user=USER ^A auth=Bearer TOKEN ^A ^A: (user, token), or None."""
    if not text.endswith("\x01\x01"):
        return None
    pairs = split_pairs(text[:-2].split("\x01"))
    token = bearer(pairs)
    return (pairs["user"], token) if token and pairs.get("user") else None


class TokenCheck:
    """Asks the sandbox's OAuth2 server (RFC 7662 introspection) whose a token is."""

    def __init__(self, introspect_url, scope):
        self.url, self.scope = introspect_url, scope

    def ask(self, token):
        body = urllib.parse.urlencode({"token": token}).encode("ascii")
        with urllib.request.urlopen(urllib.request.Request(self.url, body), timeout=10) as answer:
            return json.loads(answer.read(1 << 16))

    async def refusal(self, user, token):
        """None when `token` lets `user` in, else why not. OSError when the server does not answer."""
        answer = await asyncio.get_running_loop().run_in_executor(None, self.ask, token)
        if not isinstance(answer, dict) or answer.get("active") is not True:
            return "the token is not active"
        if answer.get("username") != user.lower():  # user names fold to lower case, as in Dovecot
            return "the token belongs to another user"
        if self.scope not in str(answer.get("scope", "")).split():
            return "the token lacks the scope " + self.scope
        return None


class Smtp(SMTP):
    def __init__(self, *arguments, token_check=None, **options):
        self.token_check = token_check
        super().__init__(*arguments, **options)

    async def auth_XOAUTH2(self, _, args):
        return await self.token_login("XOAUTH2", args, parse_xoauth2, "401")

    async def token_login(self, mechanism, args, parse, status):
        if len(args) == 1:
            blob = await self.challenge_auth("")
            if blob is MISSING:
                return AuthResult(success=False, handled=True)
        else:
            try:
                blob = b64decode(args[1], validate=True)
            except ValueError:
                await self.push("501 5.5.2 Can't decode base64")
                return AuthResult(success=False, handled=True)
        try:
            login = parse(blob.decode("utf-8"))
        except UnicodeDecodeError:
            login = None
        if login is None:
            await self.push("501 5.5.2 Malformed %s string" % mechanism)
            return AuthResult(success=False, handled=True)
        user, token = login
        try:
            refusal = await self.token_check.refusal(user, token)
        except (OSError, ValueError) as error:
            log_login(user, mechanism, "the authorization server did not answer: %s" % error)
            await self.push("454 4.7.0 Temporary authentication failure")
            return AuthResult(success=False, handled=True)
        log_login(user, mechanism, refusal)
        if refusal is None:
            return AuthResult(success=True, auth_data=OAuthLogin(user.encode("utf-8"), mechanism))
        challenge = json.dumps({"status": status, "schemes": "bearer", "scope": self.token_check.scope},
                               separators=(",", ":"))
        # The client answers the error challenge with an empty line (or ^A); only then the refusal.
        if await self.challenge_auth(challenge) is not MISSING:
            await self.push("535 5.7.8 Username and Password not accepted")
        return AuthResult(success=False, handled=True)

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
    common = dict(hostname="sandbox.invalid", data_size_limit=64 << 20, authenticator=password,
                  token_check=TokenCheck(arguments.introspect_url, arguments.scope))
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
    parser.add_argument("--introspect-url", required=True)
    parser.add_argument("--scope", required=True)
    for name in ("cert", "key", "expired-cert", "expired-key"):
        parser.add_argument("--" + name, required=True)
    asyncio.run(serve(parser.parse_args()))


if __name__ == "__main__":
    main()
