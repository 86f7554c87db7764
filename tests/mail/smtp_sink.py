#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""An SMTP server for tests that keeps every message it receives.

    smtp_sink.py PORT FOLDER [OAUTH_PORT] [--xoauth2-port P] [--oauthbearer-port P]
                 [--password PASSWORD]

Each message becomes FOLDER/NNNN.json: the envelope sender, the recipients and the message
bytes (base64), and the access token the session signed on with ("auth_token"), if any.
On PORT, AUTH XOAUTH2 and OAUTHBEARER are offered, and LOGIN as the big providers do: it takes
the PASSWORD for any user, and none without it; sending without AUTH still works. On the
other ports the same sink offers that one token mechanism and nothing else. The token is
checked at the authorization server on 127.0.0.1:OAUTH_PORT (oauth_server.py). A recipient
whose address starts with "refuse" is refused with 550. A recipient whose address starts with
"flakyN-" has its N-th message refused with 554, once. SMTPUTF8 is offered, so that a client
that would write raw UTF-8 headers gets the chance.
"""
import argparse
import asyncio
import base64
import json
import os
import re
import signal
import sys
import threading
import urllib.parse
import urllib.request

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


def token_user(oauth_port, token):
    """The user an access token signs on, as the authorization server tells; None if dead."""
    if not oauth_port:
        return None
    request = urllib.request.Request(
        "http://127.0.0.1:%d/introspect" % oauth_port,
        data=urllib.parse.urlencode({"token": token}).encode())
    with urllib.request.urlopen(request, timeout=10) as answer:
        found = json.load(answer)
    return found.get("username") if found.get("active") else None


class Keeper:
    def __init__(self, folder, oauth_port=None):
        self.folder = folder
        self.oauth_port = oauth_port
        self.count = 0
        self.flaky = {}
        self.lock = threading.Lock()  # the ports' loops run on threads of their own

    async def signed_on(self, server, user, token, error):
        """The result for a token: good when it signs this user on; else the error goes as a
        challenge first, as the big providers do, and the refusal after the client's answer."""
        found = await asyncio.get_running_loop().run_in_executor(
            None, token_user, self.oauth_port, token)
        if found is not None and found == user:
            return AuthResult(success=True, auth_data=token)
        if not isinstance(await server.challenge_auth(error), bytes):
            return AuthResult(success=False, handled=True)  # answered already
        return AuthResult(success=False, handled=False, message="535 5.7.8 token refused")

    @staticmethod
    async def first_response(server, args):
        """The client's first response: sent with the command or after an empty challenge."""
        if len(args) > 1:
            return base64.b64decode(args[1])
        return await server.challenge_auth("")

    async def auth_XOAUTH2(self, server, args):
        # base64("user=" USER ^A "auth=Bearer " TOKEN ^A ^A)
        blob = await self.first_response(server, args)
        if not isinstance(blob, bytes):
            return AuthResult(success=False, handled=True)
        fields = dict(f.split("=", 1) for f in blob.decode().split("\x01") if "=" in f)
        token = fields.get("auth", "")[len("Bearer "):]
        return await self.signed_on(server, fields.get("user"), token, '{"status":"401"}')

    async def auth_OAUTHBEARER(self, server, args):
        # base64("n,a=" USER "," ^A "host=" HOST ^A "port=" PORT ^A "auth=Bearer " TOKEN ^A ^A),
        # RFC 7628, the user escaped as RFC 5801 asks.
        blob = await self.first_response(server, args)
        if not isinstance(blob, bytes):
            return AuthResult(success=False, handled=True)
        parts = blob.decode().split("\x01")
        user = None
        for item in parts[0].split(","):
            if item.startswith("a="):
                user = item[2:].replace("=2C", ",").replace("=3D", "=")
        fields = dict(f.split("=", 1) for f in parts[1:] if "=" in f)
        token = fields.get("auth", "")[len("Bearer "):]
        return await self.signed_on(server, user, token, '{"status":"invalid_token"}')

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("refuse"):
            return "550 5.1.1 mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        for address in envelope.rcpt_tos:
            flaky = re.match(r"flaky(\d+)-", address.lower())
            if flaky:
                self.flaky[address] = self.flaky.get(address, 0) + 1
                if self.flaky[address] == int(flaky.group(1)):
                    return "554 5.6.0 refused once for the test"
        with self.lock:
            self.count += 1
            number = self.count
        record = {
            "from": envelope.mail_from,
            "to": envelope.rcpt_tos,
            "data": base64.b64encode(envelope.original_content or envelope.content).decode(),
        }
        if session.authenticated and isinstance(session.auth_data, str):
            record["auth_token"] = session.auth_data
        tmp = os.path.join(self.folder, ".%04d.tmp" % number)
        with open(tmp, "w") as f:
            json.dump(record, f)
        os.rename(tmp, os.path.join(self.folder, "%04d.json" % number))
        return "250 2.0.0 kept"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("folder")
    parser.add_argument("oauth_port", type=int, nargs="?")
    parser.add_argument("--xoauth2-port", type=int)
    parser.add_argument("--oauthbearer-port", type=int)
    # The one password taken comes by the environment: a command line is readable by anyone.
    args = parser.parse_args()
    keeper = Keeper(args.folder, args.oauth_port)
    password = os.environb.get(b"SINK_PASSWORD")

    def login(mechanism, user, given):
        return password is not None and given == password

    # Each port, and what it leaves out of AUTH.
    ports = [(args.port, ["PLAIN"])]
    if args.xoauth2_port:
        ports.append((args.xoauth2_port, ["PLAIN", "LOGIN", "OAUTHBEARER"]))
    if args.oauthbearer_port:
        ports.append((args.oauthbearer_port, ["PLAIN", "LOGIN", "XOAUTH2"]))
    controllers = [Controller(keeper, hostname="127.0.0.1", port=p, enable_SMTPUTF8=True,
                              decode_data=False, auth_require_tls=False,
                              auth_exclude_mechanism=excluded, auth_callback=login)
                   for p, excluded in ports]
    for controller in controllers:
        controller.start()
    loop = asyncio.new_event_loop()
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    loop.run_until_complete(stop.wait())
    for controller in controllers:
        controller.stop()


if __name__ == "__main__":
    main()
