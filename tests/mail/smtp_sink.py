#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""An SMTP server for tests that keeps every message it receives.

    smtp_sink.py PORT FOLDER [OAUTH_PORT]

Each message becomes FOLDER/NNNN.json: the envelope sender, the recipients and the message
bytes (base64), and the access token of the session's AUTH XOAUTH2 ("auth_token"), if any.
AUTH XOAUTH2 is offered, and LOGIN as the big providers do, though no password is ever taken;
sending without AUTH still works. The token is checked at the authorization server on
127.0.0.1:OAUTH_PORT (oauth_server.py). A recipient whose address starts with "refuse" is refused with 550. A
recipient whose address starts with "flakyN-" has its N-th message refused with 554, once.
SMTPUTF8 is offered, so that a client that would write raw UTF-8 headers gets the chance.
"""
import asyncio
import base64
import json
import os
import re
import signal
import sys
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

    async def auth_XOAUTH2(self, server, args):
        # base64("user=" USER ^A "auth=Bearer " TOKEN ^A ^A), sent with the command or after
        # an empty challenge.
        if len(args) > 1:
            blob = base64.b64decode(args[1])
        else:
            blob = await server.challenge_auth("")
            if not isinstance(blob, bytes):
                return AuthResult(success=False, handled=True)
        fields = dict(f.split("=", 1) for f in blob.decode().split("\x01") if "=" in f)
        token = fields.get("auth", "")[len("Bearer "):]
        user = await asyncio.get_running_loop().run_in_executor(
            None, token_user, self.oauth_port, token)
        if user is None or user != fields.get("user"):
            # As the big providers do: an error in a challenge, then the refusal.
            if not isinstance(await server.challenge_auth('{"status":"401"}'), bytes):
                return AuthResult(success=False, handled=True)  # answered already
            return AuthResult(success=False, handled=False, message="535 5.7.8 token refused")
        return AuthResult(success=True, auth_data=token)

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
        self.count += 1
        record = {
            "from": envelope.mail_from,
            "to": envelope.rcpt_tos,
            "data": base64.b64encode(envelope.original_content or envelope.content).decode(),
        }
        if session.authenticated:
            record["auth_token"] = session.auth_data
        tmp = os.path.join(self.folder, ".%04d.tmp" % self.count)
        with open(tmp, "w") as f:
            json.dump(record, f)
        os.rename(tmp, os.path.join(self.folder, "%04d.json" % self.count))
        return "250 2.0.0 kept"


def main():
    port, folder = int(sys.argv[1]), sys.argv[2]
    oauth_port = int(sys.argv[3]) if len(sys.argv) > 3 else None
    controller = Controller(Keeper(folder, oauth_port), hostname="127.0.0.1", port=port,
                            enable_SMTPUTF8=True, decode_data=False, auth_require_tls=False,
                            auth_exclude_mechanism=["PLAIN"])
    controller.start()
    loop = asyncio.new_event_loop()
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    loop.run_until_complete(stop.wait())
    controller.stop()


if __name__ == "__main__":
    main()
