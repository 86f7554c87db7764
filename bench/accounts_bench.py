#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Kelvo's pass over three accounts as one Inbox, beside each account's own pass and fetchmail
polling the same three.

    accounts_bench.py PEER_PASS STATE_FILE OUTPUT_JSON

PEER_PASS is bench_peer_pass; STATE_FILE is the one tests/mail/mail_servers.py writes, started
with --timed-log. Each account is a user of a Dovecot of its own, as a user's accounts are on
servers of their own: the first on STATE_FILE's, the others on two more started here (one
Dovecot starts its login processes one after another, so sign-ons to one cannot overlap). They
hold only read mail (1,000, 1,000 and 10,000), left to settle before the runs (Dovecot reads a
just-written folder anew at every sign-on), so every pass finds nothing new. The sides, taking
turns in a rotating order, RUNS times each:

  all        Kelvo's pass with a profile combining the three (inbox = a, b, c)
  a, b, c    Kelvo's pass with each account's own profile
  fetchmail  one fetchmailrc polling the three accounts, --check
  bare, bare_a, bare_b, bare_c
             a bare client's pass (sign-on, SELECT, UID SEARCH UNSEEN, sign-off) over the three
             at once, a thread each, and over each alone: how much three at once cost on this
             machine, whoever the client

The sides run twice: on loopback, where the three Dovecots work on the same two cores as the
clients, and through relays that delay what each side says by ROUND_TRIP / 2 (the accounts
distant, as a provider's servers are), where running at once is what hides the round trips.
A side's time is from the first sign-on of any of its users to the last sign-off, in the
Dovecots' logs; its sign-ons are the Login lines logged meanwhile. The median of the runs is
reported, and also the pass's own time, from connecting to the end (the process's own
measure for Kelvo, the wall clock for the bare client). One more run of each on loopback goes
through counting relays in front of the Dovecots, for the connections, client turns and bytes
on the wire.
"""
import json
import os
import re
import shutil
import statistics
import sys
import tempfile
import threading
import time
from datetime import datetime

import peer_tools
from counting_relay import CountingRelay
from peers_bench import HERE, Bench, logged_sessions, text_mail

sys.path.insert(0, os.path.join(HERE, "..", "tests", "mail"))
import mail_servers  # noqa: E402

RUNS = 5
SIZES = {"a": 1000, "b": 1000, "c": 10000}
# Longer than Dovecot's window in which a folder's change time is not trusted.
SETTLE_SECONDS = 3
# The round trip to each account's server when they are distant, as a provider's are.
ROUND_TRIP = 0.020


class Accounts(Bench):
    """The first server's bench runs the programs; `servers` holds one bench for each account's
    Dovecot, this one first. A user is given as (bench, name)."""

    def __init__(self, peer_pass, state):
        super().__init__(peer_pass, None, state)
        self.servers = [self]
        self.started = []
        self.distant = None  # while the accounts are distant: a delaying relay for each

    def add_server(self):
        state_file = os.path.join(self.work, "servers%d.json" % len(self.servers))
        mail_servers.start(state_file, timed_log=True)
        self.started.append(state_file)
        with open(state_file) as f:
            self.servers.append(Bench(self.peer_pass, None, json.load(f)))

    def close(self):
        for bench in self.servers[1:]:
            bench.close()
        for state_file in self.started:
            mail_servers.stop(state_file)
        super().close()

    def run(self, users, args, env=None, counted=False, ok=(0,)):
        """As Bench.run, over the users of every server."""
        self.offsets = {id(b): os.path.getsize(b.log) for b in self.servers}
        for bench in self.servers:
            bench.imap_relay.reset()
        result = super().run(users, args, env, False, ok)
        if counted:
            imap = [b.imap_relay.figures() for b in self.servers]
            result.update({key: sum(f[name] for f in imap) for key, name in (
                ("connections", "connections"), ("client_turns", "client_turns"),
                ("bytes_sent", "client_bytes"), ("bytes_received", "server_bytes"))})
        return result

    def sessions(self, users, offset):
        """As Bench.sessions, over every session of any of the users."""
        ons, offs = [], []
        for bench in self.servers:
            names = [re.escape(name) for b, name in users if b is bench]
            if names:
                logged_on, logged_off = logged_sessions(bench.log, self.offsets[id(bench)],
                                                        "(?:%s)" % "|".join(names))
                ons += logged_on
                offs += logged_off
        times = [datetime.strptime(t, "%Y-%m-%d %H:%M:%S.%f") for t in ons + offs]
        return len(ons), (max(times) - min(times)).total_seconds()

    def imap_port(self, bench, counted):
        """Where a client reaches the account's Dovecot: through the counting relay for the
        counted run, the delaying one while the accounts are distant, else directly."""
        if counted:
            return bench.imap_relay.port
        if self.distant:
            return self.distant[id(bench)].port
        return bench.state["imap_port"]

    def kelvo_pass(self, accounts, profile, counted):
        """Kelvo's pass with the profile `profile` of a profiles.ini holding one profile for
        each account and one ("all") combining them."""
        smtp = self.smtp_relay.port if counted else self.state["smtp_port"]
        text = ""
        for name, (bench, user) in accounts.items():
            imap = self.imap_port(bench, counted)
            text += ("[%s]\nstore = imap://127.0.0.1:%d\nstarttls = no\n"
                     "transport = smtp://127.0.0.1:%d\nsmtp-auth = no\nuser = %s\n"
                     "password = %s\naddress-book = %s\ntimeout = 120\n%s\n"
                     % (name, imap, smtp, user, bench.state["password"], self.book,
                        "default = yes\n" if name == profile else ""))
        text += "[all]\ninbox = %s\naddress-book = %s\n%s" % (
            ", ".join(accounts), self.book, "default = yes\n" if profile == "all" else "")
        profiles = os.path.join(self.work, "profiles.ini")
        with open(profiles, "w") as f:
            f.write(text)
        os.chmod(profiles, 0o600)
        output = os.path.join(self.work, "pass.json")
        users = list(accounts.values()) if profile == "all" else [accounts[profile]]
        result = self.run(users, [self.peer_pass, profiles, "first-start", output],
                          counted=counted, ok=(0, 1))
        with open(output) as f:
            figures = json.load(f)
        if figures["new"] or figures["forwarded"] or figures["errors"]:
            raise SystemExit("Kelvo's pass with [%s] saw %d new and forwarded %d:\n%s"
                             % (profile, figures["new"], figures["forwarded"],
                                figures["monitor"]))
        result["pass_seconds"] = figures["seconds"]
        return result

    def fetchmail_check(self, accounts, counted):
        """fetchmail --check polling the accounts, one poll entry each."""
        rc, env = peer_tools.fetchmail_rc(
            tempfile.mkdtemp(dir=self.work),
            [(self.imap_port(bench, counted), user, bench.state["password"],
              peer_tools.TO_NOTHING, name) for name, (bench, user) in accounts.items()])
        # --check ends with 1 when there is no new mail, which is the case measured.
        return self.run(list(accounts.values()), ["fetchmail", "-f", rc, "--check"], env,
                        counted, ok=(0, 1))

    def bare_pass(self, users, counted):
        """A bare client's pass over the users at once (a thread each): sign-on, SELECT, UID
        SEARCH UNSEEN, sign-off; the floor of this machine and its servers."""
        self.offsets = {id(b): os.path.getsize(b.log) for b in self.servers}
        threads = [threading.Thread(target=bench.imap,
                                    args=(user, ["SELECT INBOX", "UID SEARCH UNSEEN"],
                                          self.imap_port(bench, counted)))
                   for bench, user in users]
        started = time.monotonic()
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        wall = time.monotonic() - started
        sign_ons, seconds = self.sessions(users, 0)
        return {"seconds": seconds, "process_seconds": wall, "pass_seconds": wall,
                "sign_ons": sign_ons}

    def measure(self):
        while len(self.servers) < len(SIZES):
            self.add_server()
        accounts = {}
        for bench, (name, count) in zip(self.servers, SIZES.items()):
            mails = [text_mail(n) for n in range(1, count + 1)]
            accounts[name] = (bench, bench.mailbox(mails, seen=True))
        time.sleep(SETTLE_SECONDS)
        sides = {"all": lambda c: self.kelvo_pass(accounts, "all", c),
                 "fetchmail": lambda c: self.fetchmail_check(accounts, c)}
        for name in accounts:
            sides[name] = lambda c, name=name: self.kelvo_pass(accounts, name, c)
        sides["bare"] = lambda c: self.bare_pass(list(accounts.values()), c)
        for name in accounts:
            sides["bare_" + name] = lambda c, name=name: self.bare_pass([accounts[name]], c)
        try:
            result = {"sides": self.runs(sides, True), "mails": SIZES, "runs": RUNS,
                      "peer_name": "fetchmail --check"}
            self.distant = {id(b): CountingRelay(b.state["imap_port"], ROUND_TRIP / 2)
                            for b in self.servers}
            try:
                result["distant"] = {"sides": self.runs(sides, False),
                                     "round_trip_ms": ROUND_TRIP * 1e3}
            finally:
                for relay in self.distant.values():
                    relay.close()
                self.distant = None
        finally:
            for bench, user in accounts.values():
                bench.drop(user)
        return result

    def runs(self, sides, counted_too):
        """RUNS timed runs of each side, taking turns, and one counted run if asked for; the
        medians."""
        order = list(sides)
        runs = {side: [] for side in sides}
        for n, counted in enumerate([False] * RUNS + ([True] if counted_too else [])):
            # Each side in turn goes first, so that none always follows the heaviest.
            for side in order[n % len(order):] + order[:n % len(order)]:
                runs[side].append(sides[side](counted))
        out = {}
        for side, results in runs.items():
            timed, last = results[:RUNS], results[-1]
            seconds = [r["seconds"] for r in timed]
            out[side] = dict(last, seconds=statistics.median(seconds), runs_seconds=seconds,
                             process_seconds=statistics.median(r["process_seconds"]
                                                               for r in timed),
                             sign_ons=max(r["sign_ons"] for r in results),
                             runs_sign_ons=[r["sign_ons"] for r in results])
            if "pass_seconds" in last:
                passes = [r["pass_seconds"] for r in timed]
                out[side].update(pass_seconds=statistics.median(passes),
                                 runs_pass_seconds=passes)
        return out


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    peer_pass, state_file, output = sys.argv[1:4]
    with open(state_file) as f:
        state = json.load(f)
    if not shutil.which("fetchmail"):
        sys.exit("fetchmail is missing: scripts/install-bench-deps.sh installs it")
    bench = Accounts(os.path.abspath(peer_pass), state)
    try:
        started = time.monotonic()
        result = bench.measure()
        print("  accounts: %.0f s" % (time.monotonic() - started), file=sys.stderr)
    finally:
        bench.close()
    result["load_average"] = os.getloadavg()
    with open(output, "w") as f:
        json.dump({"accounts": result}, f, indent=1)


if __name__ == "__main__":
    main()
