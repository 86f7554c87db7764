#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""An OAuth 2.0 authorization server for tests, on loopback, that needs no person.

    oauth_server.py PORT

Endpoints (form-encoded requests, JSON answers):

  GET  /authorize      response_type=code, client_id, redirect_uri (loopback only), state,
                       code_challenge, code_challenge_method=S256, scope: redirects at once to
                       redirect_uri with code and state, as if the user had agreed.
  POST /token          grant_type=authorization_code (code, redirect_uri, client_id,
                       code_verifier, checked against the challenge) or grant_type=refresh_token
                       (refresh_token, client_id): a new access token, and for a code also a
                       refresh token. Access tokens live LIFETIME seconds (default 3600).
  POST /revoke         token: revokes a refresh token and every access token made from it.
  POST /introspect     token (Dovecot's oauth2 passdb, introspection_mode = post):
                       {"active": true, "username": USER} for a live access token, else
                       {"active": false}.

Control, for the tests:

  POST /control/user      user: the user name the next authorizations sign on (default "kelvo")
  POST /control/lifetime  seconds: the lifetime of the access tokens issued from now on
  POST /control/mint      user: an access token for the user, without a flow
  POST /control/expire    every access token issued so far expires now
  POST /control/revoke    every refresh token (and its access tokens) is revoked
  GET  /control/log       the requests so far: [{"path": ..., "grant_type": ...}, ...]
  GET  /control/tokens    every token issued so far, access and refresh: ["at-...", ...]

The tokens are random; nothing is kept on disk. SIGTERM stops the server.
"""
import base64
import hashlib
import json
import secrets
import signal
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlencode, urlparse


class Tokens:
    def __init__(self):
        self.lock = threading.Lock()
        self.user = "kelvo"
        self.lifetime = 3600
        self.codes = {}    # code -> (client_id, redirect_uri, challenge, user)
        self.access = {}   # token -> (user, expiry, refresh token or None)
        self.refresh = {}  # token -> (user, client_id)
        self.log = []
        self.issued = []  # every token, so that tests can look for them where none may be

    def issue_access(self, user, refresh=None):
        token = "at-" + secrets.token_urlsafe(24)
        self.issued.append(token)
        self.access[token] = (user, time.time() + self.lifetime, refresh)
        return token


TOKENS = Tokens()


def challenge_of(verifier):
    digest = hashlib.sha256(verifier.encode()).digest()
    return base64.urlsafe_b64encode(digest).rstrip(b"=").decode()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body=None, headers=None):
        data = json.dumps(body if body is not None else {}).encode()
        self.send_response(status)
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(data)

    def error(self, code, status=400):
        self.answer(status, {"error": code})

    def form(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length).decode() if length else ""
        fields = {k: v[0] for k, v in parse_qs(body, keep_blank_values=True).items()}
        # A client secret may come as HTTP basic authentication.
        auth = self.headers.get("Authorization", "")
        if auth.startswith("Basic ") and "client_id" not in fields:
            try:
                fields["client_id"] = base64.b64decode(auth[6:]).decode().split(":", 1)[0]
            except ValueError:
                pass
        return fields

    def do_GET(self):
        url = urlparse(self.path)
        query = {k: v[0] for k, v in parse_qs(url.query).items()}
        with TOKENS.lock:
            TOKENS.log.append({"path": url.path})
            if url.path == "/authorize":
                return self.authorize(query)
            if url.path == "/control/log":
                return self.answer(200, TOKENS.log)
            if url.path == "/control/tokens":
                return self.answer(200, TOKENS.issued)
        self.error("not_found", 404)

    def authorize(self, q):
        redirect = q.get("redirect_uri", "")
        host = urlparse(redirect).hostname
        if host not in ("127.0.0.1", "localhost", "::1"):
            return self.error("invalid_request")
        if q.get("response_type") != "code" or not q.get("client_id"):
            return self.error("invalid_request")
        if q.get("code_challenge_method") != "S256" or not q.get("code_challenge"):
            return self.error("invalid_request")  # PKCE is required here
        code = "code-" + secrets.token_urlsafe(16)
        TOKENS.codes[code] = (q["client_id"], redirect, q["code_challenge"], TOKENS.user)
        target = redirect + ("&" if "?" in redirect else "?") + urlencode(
            {"code": code, "state": q.get("state", "")})
        self.send_response(302)
        self.send_header("Location", target)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_POST(self):
        path = urlparse(self.path).path
        f = self.form()
        with TOKENS.lock:
            TOKENS.log.append({"path": path, "grant_type": f.get("grant_type", "")})
            handler = {
                "/token": self.token,
                "/revoke": self.revoke,
                "/introspect": self.introspect,
                "/control/user": self.set_user,
                "/control/lifetime": self.set_lifetime,
                "/control/mint": self.mint,
                "/control/expire": self.expire,
                "/control/revoke": self.revoke_all,
            }.get(path)
            if handler is None:
                return self.error("not_found", 404)
            handler(f)

    def token(self, f):
        grant = f.get("grant_type")
        if grant == "authorization_code":
            found = TOKENS.codes.pop(f.get("code", ""), None)
            if found is None:
                return self.error("invalid_grant")
            client, redirect, challenge, user = found
            if f.get("client_id") != client or f.get("redirect_uri") != redirect:
                return self.error("invalid_grant")
            if challenge_of(f.get("code_verifier", "")) != challenge:
                return self.error("invalid_grant")
            refresh = "rt-" + secrets.token_urlsafe(24)
            TOKENS.issued.append(refresh)
            TOKENS.refresh[refresh] = (user, client)
            access = TOKENS.issue_access(user, refresh)
            return self.answer(200, {"access_token": access, "token_type": "Bearer",
                                     "expires_in": TOKENS.lifetime, "refresh_token": refresh})
        if grant == "refresh_token":
            refresh = f.get("refresh_token", "")
            found = TOKENS.refresh.get(refresh)
            if found is None or found[1] != f.get("client_id"):
                return self.error("invalid_grant")
            access = TOKENS.issue_access(found[0], refresh)
            return self.answer(200, {"access_token": access, "token_type": "Bearer",
                                     "expires_in": TOKENS.lifetime})
        self.error("unsupported_grant_type")

    def revoke(self, f):
        self.drop_refresh(f.get("token", ""))
        TOKENS.access.pop(f.get("token", ""), None)
        self.answer(200)

    def drop_refresh(self, refresh):
        if TOKENS.refresh.pop(refresh, None) is not None:
            for token in [t for t, v in TOKENS.access.items() if v[2] == refresh]:
                del TOKENS.access[token]

    def introspect(self, f):
        found = TOKENS.access.get(f.get("token", ""))
        if found is None or found[1] <= time.time():
            return self.answer(200, {"active": False})
        self.answer(200, {"active": True, "username": found[0]})

    def set_user(self, f):
        TOKENS.user = f.get("user", "kelvo")
        self.answer(200)

    def set_lifetime(self, f):
        TOKENS.lifetime = int(f.get("seconds", "3600"))
        self.answer(200)

    def mint(self, f):
        self.answer(200, {"access_token": TOKENS.issue_access(f.get("user", TOKENS.user))})

    def expire(self, f):
        for token, (user, _, refresh) in list(TOKENS.access.items()):
            TOKENS.access[token] = (user, 0, refresh)
        self.answer(200)

    def revoke_all(self, f):
        for refresh in list(TOKENS.refresh):
            self.drop_refresh(refresh)
        self.answer(200)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    server = ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Handler)
    server.daemon_threads = True
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    server.serve_forever()


if __name__ == "__main__":
    main()
