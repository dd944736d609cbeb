#!/usr/bin/python3
"""OAuth2 authorization server of the mail sandbox (started by scripts/mail-sandbox).

A public client (the sandbox client id, no secret) signs in with the authorization code flow
and PKCE (S256 only) through a loopback redirect; there is no login page: /authorize answers
at once with a redirect that carries a code for the sandbox user (login_hint picks another).
Codes hold '/' and '+', so a client that does not decode them fails; they serve once, for
60 s. /token trades a code or a refresh token (which it rotates; the old one stays valid)
for an access token; /introspect tells Dovecot and the sandbox SMTP server who a token is.
Tests spoil tokens and change the access-token lifetime through /admin/revoke (user=U, or
refresh_token=T: the whole sign-in T came from, its rotated refresh tokens and the access
tokens they gave), /admin/expire (user=U) and /admin/lifetime (seconds=N); /admin/log gives
the request log, which never holds a token or code.

  sandbox-oauth.py --client-id ID --scope SCOPE --user USER --log FILE [--lifetime SECONDS]
      serves on 127.0.0.1, printing its port on the first line of standard output.
  sandbox-oauth.py --token USER --base URL --client-id ID --scope SCOPE [--refresh]
      plays client and browser through the code flow; prints the access token (or the
      refresh token) on standard output.
"""
import argparse
import base64
import hashlib
import http.client
import json
import re
import secrets
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CODE_LIFETIME = 60
MAX_BODY = 64 << 10
USER_NAME = re.compile(r"[A-Za-z0-9_][A-Za-z0-9._-]{0,63}")  # whole values only (fullmatch)
PKCE_VALUE = re.compile(r"[A-Za-z0-9._~-]{43,128}")
S256_CHALLENGE = re.compile(r"[A-Za-z0-9_-]{43}")
LOOPBACK_HOSTS = ("127.0.0.1", "::1", "localhost")


class OAuthError(Exception):
    def __init__(self, error, description):
        super().__init__(description)
        self.error, self.description = error, description


def s256(verifier):
    return base64.urlsafe_b64encode(hashlib.sha256(verifier.encode("ascii")).digest()).rstrip(b"=").decode("ascii")


def awkward_secret(prefix):
    """A random value whose '/' and '+' must be percent-encoded in a URL or a form."""
    return "%s/%s+%s" % (prefix, base64.b64encode(secrets.token_bytes(12)).decode(), secrets.token_hex(8))


def loopback_redirect(uri):
    """True for http://127.0.0.1:PORT/..., http://[::1]:PORT/... and http://localhost:PORT/..."""
    try:
        parts = urllib.parse.urlsplit(uri)
        port = parts.port
    except ValueError:
        return False
    return (parts.scheme == "http" and parts.hostname in LOOPBACK_HOSTS and port is not None
            and not parts.username and "#" not in uri)


class Authority:
    """Codes and tokens, kept in memory; every method holds the lock."""

    def __init__(self, client_id, scope, user, lifetime, log_path):
        self.client_id, self.scope, self.user, self.lifetime = client_id, scope, user, lifetime
        self.log_path = log_path
        self.lock = threading.Lock()
        self.codes = {}  # code -> {user, scope, redirect_uri, challenge, expires}
        # A grant {user, scope, revoked} is shared by the tokens of one sign-in and its refreshes.
        self.refresh = {}  # refresh token -> grant
        self.access = {}  # access token -> {grant, exp}

    def log(self, endpoint, result, user="", grant_type=""):
        entry = {"time": round(time.time(), 3), "endpoint": endpoint, "grant_type": grant_type, "user": user,
                 "result": result}
        with self.lock, open(self.log_path, "a", encoding="utf-8") as out:
            out.write(json.dumps(entry) + "\n")

    def authorize(self, query):
        """The code for a valid request; OAuthError for one that may be redirected."""
        if query.get("response_type") != "code":
            raise OAuthError("unsupported_response_type", "response_type must be code")
        challenge, method = query.get("code_challenge", ""), query.get("code_challenge_method", "")
        if method != "S256" or not S256_CHALLENGE.fullmatch(challenge):
            raise OAuthError("invalid_request", "PKCE with code_challenge_method=S256 is required")
        user = query.get("login_hint") or self.user
        if not USER_NAME.fullmatch(user):
            raise OAuthError("invalid_request", "login_hint is not a user name")
        code = awkward_secret("c")
        with self.lock:
            # Dovecot folds user names to lower case; the tokens say the name it will compare.
            self.codes[code] = dict(user=user.lower(), scope=query.get("scope") or self.scope,
                                    redirect_uri=query["redirect_uri"], challenge=challenge,
                                    expires=time.monotonic() + CODE_LIFETIME)
        return code, user.lower()

    def redeem_code(self, form):
        for name in ("code", "redirect_uri", "code_verifier"):
            if not form.get(name):
                raise OAuthError("invalid_request", name + " is missing")
        with self.lock:
            grant = self.codes.pop(form["code"], None)  # once only, whatever follows
        if grant is None or grant["expires"] < time.monotonic():
            raise OAuthError("invalid_grant", "the code is unknown, used or expired")
        if form["redirect_uri"] != grant["redirect_uri"]:
            raise OAuthError("invalid_grant", "redirect_uri differs from the one authorized")
        if not PKCE_VALUE.fullmatch(form["code_verifier"]):
            raise OAuthError("invalid_request", "code_verifier is malformed")
        if not secrets.compare_digest(s256(form["code_verifier"]), grant["challenge"]):
            raise OAuthError("invalid_grant", "code_verifier does not match the code_challenge")
        return self.issue(dict(user=grant["user"], scope=grant["scope"], revoked=False))

    def redeem_refresh(self, form):
        if not form.get("refresh_token"):
            raise OAuthError("invalid_request", "refresh_token is missing")
        with self.lock:
            grant = self.refresh.get(form["refresh_token"])
        if grant is None or grant["revoked"]:
            raise OAuthError("invalid_grant", "the refresh token is unknown or revoked")
        return self.issue(grant)

    def issue(self, grant):
        """New tokens of a grant: a code redemption starts one, a refresh carries it on."""
        access, refresh = "at-" + secrets.token_urlsafe(32), awkward_secret("rt")
        with self.lock:
            lifetime = self.lifetime
            self.refresh[refresh] = grant
            self.access[access] = dict(grant=grant, exp=int(time.time()) + lifetime)
        answer = dict(access_token=access, token_type="Bearer", expires_in=lifetime, refresh_token=refresh,
                      scope=grant["scope"])
        return answer, grant["user"]

    def introspect(self, form):
        with self.lock:
            token = self.access.get(form.get("token", ""))
            if not token or token["exp"] <= time.time() or token["grant"]["revoked"]:
                return {"active": False}, ""
            grant = token["grant"]
            return dict(active=True, username=grant["user"], scope=grant["scope"], exp=token["exp"],
                        client_id=self.client_id, token_type="Bearer"), grant["user"]

    def revoke(self, form):
        """Ends grants: the one a refresh token belongs to, or all of a user's."""
        with self.lock:
            grants = [g for t, g in self.refresh.items()
                      if t == form.get("refresh_token") or (form.get("user") and g["user"] == form["user"])]
            for grant in grants:
                grant["revoked"] = True
        return {"revoked": len(grants)}, form.get("user", "")

    def expire(self, form):
        with self.lock:
            tokens = [t for t in self.access.values() if t["grant"]["user"] == form.get("user")]
            for token in tokens:
                token["exp"] = int(time.time()) - 1
        return {"expired": len(tokens)}, form.get("user", "")

    def set_lifetime(self, form):
        seconds = form.get("seconds", "")
        if not seconds.isdigit() or not 0 < int(seconds) <= 10 ** 7:
            raise OAuthError("invalid_request", "seconds must be a positive number")
        with self.lock:
            self.lifetime = int(seconds)
        return {"lifetime": self.lifetime}, ""


class Handler(BaseHTTPRequestHandler):
    server_version = "CorvelleSandboxOAuth/1"
    timeout = 10  # a client that stalls loses its connection, not a thread for ever

    def log_request(self, code="-", size="-"):
        pass  # the authority keeps its own log, free of codes and tokens

    def log_message(self, format, *args):
        sys.stderr.write("sandbox-oauth: " + (format % args) + "\n")

    @property
    def authority(self):
        return self.server.authority

    def send(self, status, body, content_type="application/json", headers=()):
        data = (json.dumps(body) if content_type == "application/json" else body).encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type + "; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.send_header("Pragma", "no-cache")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def form(self):
        """The url-encoded body; OAuthError when there is none or it is too long."""
        length = self.headers.get("Content-Length", "")
        if not length.isdigit() or int(length) > MAX_BODY:
            raise OAuthError("invalid_request", "a form body of at most %d bytes is required" % MAX_BODY)
        body = self.rfile.read(int(length)).decode("utf-8", "replace")
        pairs = urllib.parse.parse_qsl(body, keep_blank_values=True)
        form = {}
        for name, value in pairs:
            if name in form:
                raise OAuthError("invalid_request", "parameter %s is repeated" % name)
            form[name] = value
        return form

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/authorize":
            self.get_authorize(url.query)
        elif url.path == "/admin/log":
            with self.authority.lock, open(self.authority.log_path, encoding="utf-8") as log:
                text = log.read()
            self.send(200, text, "text/plain")
        else:
            self.send(404, {"error": "not_found"})

    def get_authorize(self, raw_query):
        query = dict(urllib.parse.parse_qsl(raw_query, keep_blank_values=True))
        redirect = query.get("redirect_uri", "")
        # A bad client or redirect address must not send the browser anywhere (RFC 6749 4.1.2.1).
        if query.get("client_id") != self.authority.client_id:
            return self.refuse_page("unknown client_id")
        if not loopback_redirect(redirect):
            return self.refuse_page("redirect_uri must be http://127.0.0.1:PORT/, http://[::1]:PORT/ or "
                                    "http://localhost:PORT/")
        try:
            code, user = self.authority.authorize(query)
            answer, result = {"code": code}, "ok"
        except OAuthError as error:
            answer, user, result = {"error": error.error, "error_description": error.description}, "", error.error
        if "state" in query:
            answer["state"] = query["state"]
        self.authority.log("authorize", result, user)
        separator = "&" if urllib.parse.urlsplit(redirect).query else "?"
        self.send(302, "Redirecting\n", "text/plain",
                  [("Location", redirect + separator + urllib.parse.urlencode(answer))])

    def refuse_page(self, why):
        self.authority.log("authorize", "refused: " + why)
        self.send(400, "<html><body><h1>Sign-in refused</h1><p>%s</p></body></html>\n" % why, "text/html")

    def do_POST(self):
        path = urllib.parse.urlsplit(self.path).path
        routes = {"/token": self.post_token, "/introspect": self.authority.introspect,
                  "/admin/revoke": self.authority.revoke, "/admin/expire": self.authority.expire,
                  "/admin/lifetime": self.authority.set_lifetime}
        if path not in routes:
            return self.send(404, {"error": "not_found"})
        form = {}
        try:
            form = self.form()
            answer, user = routes[path](form)
        except OAuthError as error:
            self.authority.log(path[1:], error.error, "", form.get("grant_type", ""))
            return self.send(400, {"error": error.error, "error_description": error.description})
        result = "ok" if answer.get("active", True) else "inactive"
        self.authority.log(path[1:], result, user, form.get("grant_type", ""))
        self.send(200, answer)

    def post_token(self, form):
        client_id = form.get("client_id") or self.basic_client_id()
        redeem = {"authorization_code": self.authority.redeem_code,
                  "refresh_token": self.authority.redeem_refresh}.get(form.get("grant_type"))
        if client_id != self.authority.client_id:
            raise OAuthError("invalid_client", "unknown client_id")
        if redeem is None:
            raise OAuthError("unsupported_grant_type", "grant_type must be authorization_code or refresh_token")
        return redeem(form)

    def basic_client_id(self):
        scheme, _, value = self.headers.get("Authorization", "").partition(" ")
        if scheme.lower() != "basic":
            return ""
        try:
            return urllib.parse.unquote(base64.b64decode(value, validate=True).decode("utf-8").partition(":")[0])
        except ValueError:
            return ""


def serve(arguments):
    authority = Authority(arguments.client_id, arguments.scope, arguments.user, arguments.lifetime, arguments.log)
    server = ThreadingHTTPServer(("127.0.0.1", arguments.port), Handler)
    server.daemon_threads = True
    server.authority = authority
    print(server.server_address[1], flush=True)
    server.serve_forever()


def fetch_token(arguments):
    """The code flow as a client and its browser would run it; the token, or exit with why."""
    base = urllib.parse.urlsplit(arguments.base)
    verifier = secrets.token_urlsafe(48)
    redirect = "http://127.0.0.1:9/callback"  # read from the answer, never followed
    query = urllib.parse.urlencode(dict(response_type="code", client_id=arguments.client_id, redirect_uri=redirect,
                                        scope=arguments.scope, state="sandbox", login_hint=arguments.token,
                                        code_challenge=s256(verifier), code_challenge_method="S256"))
    connection = http.client.HTTPConnection(base.hostname, base.port, timeout=10)
    connection.request("GET", base.path + "/authorize?" + query)
    answer = connection.getresponse()
    answer.read()
    back = dict(urllib.parse.parse_qsl(urllib.parse.urlsplit(answer.getheader("Location", "")).query))
    if answer.status != 302 or "code" not in back:
        sys.exit("sandbox-oauth: the authorization was refused: %s %s" % (answer.status, back.get("error", "")))
    form = urllib.parse.urlencode(dict(grant_type="authorization_code", code=back["code"], redirect_uri=redirect,
                                       client_id=arguments.client_id, code_verifier=verifier))
    connection = http.client.HTTPConnection(base.hostname, base.port, timeout=10)
    connection.request("POST", base.path + "/token", form, {"Content-Type": "application/x-www-form-urlencoded"})
    answer = connection.getresponse()
    tokens = json.loads(answer.read() or b"{}")
    if answer.status != 200:
        sys.exit("sandbox-oauth: the token request was refused: %s %s" % (answer.status, tokens.get("error", "")))
    print(tokens["refresh_token" if arguments.refresh else "access_token"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client-id", required=True)
    parser.add_argument("--scope", required=True)
    parser.add_argument("--user")
    parser.add_argument("--log")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--lifetime", type=int, default=3600)
    parser.add_argument("--token", metavar="USER", help="fetch a token for USER from the server at --base")
    parser.add_argument("--base")
    parser.add_argument("--refresh", action="store_true")
    arguments = parser.parse_args()
    if arguments.token:
        if not arguments.base:
            parser.error("--token needs --base")
        fetch_token(arguments)
    else:
        if not arguments.user or not arguments.log or arguments.lifetime <= 0:
            parser.error("serving needs --user, --log and a positive --lifetime")
        serve(arguments)


if __name__ == "__main__":
    main()
