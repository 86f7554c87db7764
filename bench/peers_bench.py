#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Kelvo's pass beside peer tools doing the same work, on the same private Dovecot and mails.

    peers_bench.py PEER_PASS KELVO STATE_FILE OUTPUT_JSON

PEER_PASS is bench_peer_pass (one pass of Kelvo's engine in a process of its own, the
specified pauses counted rather than slept), KELVO the program itself; STATE_FILE is the one
tests/mail/mail_servers.py writes, started with --timed-log. The cases:

  nothing    a pass with nothing new, 1,000 read mails  / fetchmail --check
  nothing10k the same with 10,000 read mails            / fetchmail --check
  unread     a pass over 10,000 unread mails received   / imapfilter sending Kelvo's search
             two hours ago, before the 30 minutes        (KELVO_SEARCH); imapfilter searching
                                                         "UNSEEN YOUNGER 1800"; fetchmail --check
  twenty     20 new mails forwarded                     / fetchmail -> MDA
  large      one 30 MB mail forwarded over SMTP, with   / fetchmail -> SMTP
             the attachment ("1") and without ("0")

The pass's time, connections, turns and bytes are bench_peer_pass's: both sides are timed the
same way, from Dovecot's log: the first sign-on to the last sign-off of the mailbox user (the
fastest of RUNS runs). One more run of each goes through counting relays in front of Dovecot
and the SMTP sink, for the connections, client turns and bytes on the wire.

Memory is the program's own, as users start it: `kelvo --service /S` under GNU time (see
real_kelvo.py), once for each case, beside the peers' own peaks under GNU time (the largest of
their runs). Its idle resident size is that of the same program after a pass over an empty
Inbox; in the 10,000-unread case it stays up with push on, and nine more passes follow, each
started by one more old mail's notice, its resident size read after each pass. Cases that
change the mailbox get a fresh copy of it for every run.
"""
import base64
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from datetime import datetime, timezone
from email.utils import format_datetime

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "engine"))
import test_mailbox  # noqa: E402
import peer_tools  # noqa: E402
import real_kelvo  # noqa: E402
from counting_relay import CountingRelay  # noqa: E402

RUNS = 3
PHONE = real_kelvo.PHONE
# What Kelvo's pass asks Dovecot at a first start: the unread mail of the 30 minutes and an
# hour's margin, or from the phone at any age (its commands know no 30 minutes).
KELVO_SEARCH = 'UNSEEN OR YOUNGER 5400 FROM "%s"' % PHONE
# The unread mail of the 10,000 case arrived this long ago, outside the 30 minutes.
OLD_SECONDS = 2 * 3600
# Passes of the program kept running over the 10,000 unread mails.
PASSES = 10
LARGE_BYTES = 30 * 1000 * 1000


def mail(n, body=None, age=0):
    """A mail as the benchmark's senders write them: Japanese names and subject, received
    `age` seconds ago."""
    now = format_datetime(datetime.fromtimestamp(time.time() - age, timezone.utc).astimezone())
    subject = base64.b64encode(("お知らせ その%d" % n).encode()).decode()
    body = body or ("本文 %d\r\n" % n).encode()
    return ("Received: from mx.example.jp by box.example.jp; %s\r\n"
            "From: =?UTF-8?B?5bGx55Sw5aSq6YOO?= <sender%d@example.jp>\r\n"
            "To: Me <me@example.jp>\r\nSubject: =?UTF-8?B?%s?=\r\nDate: %s\r\n"
            "Message-ID: <%d.%d@example.jp>\r\nMIME-Version: 1.0\r\n"
            % (now, n, subject, now, n, time.time_ns())).encode() + body


def text_mail(n):
    lines = "".join("%d行目：来週の打ち合わせの件、資料を添付の通りお送りします。\r\n" % i
                    for i in range(1, 11))
    return mail(n, b"Content-Type: text/plain; charset=UTF-8\r\n"
                   b"Content-Transfer-Encoding: 8bit\r\n\r\n" + lines.encode())


def large_mail():
    """One mail of LARGE_BYTES: a line of text and a binary attachment."""
    raw = os.urandom(LARGE_BYTES * 57 // 78)  # base64 lines of 76 characters and CR LF
    encoded = base64.encodebytes(raw).replace(b"\n", b"\r\n")
    return mail(1, b"Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n--b1\r\n"
                   b"Content-Type: text/plain; charset=UTF-8\r\n\r\n"
                   + "資料を添付します。\r\n".encode() +
                b"--b1\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n"
                b"Content-Disposition: attachment; filename=\"data.bin\"\r\n"
                b"Content-Transfer-Encoding: base64\r\n\r\n" + encoded + b"--b1--\r\n")


def logged_sessions(log, offset, users):
    """The stamps of the sign-ons and sign-offs in Dovecot's log past offset of the users (a
    pattern); waits (bounded) for every session to be logged out."""
    stamp = r"^(\S+ \S+) "
    on = re.compile(stamp + r"imap-login: Info: Login: user=<%s>" % users, re.M)
    off = re.compile(stamp + r"imap\((?:%s)\)<.*Disconnected" % users, re.M)
    for _ in range(100):
        with open(log, errors="replace") as f:
            f.seek(offset)
            text = f.read()
        ons, offs = on.findall(text), off.findall(text)
        if ons and len(offs) >= len(ons):
            return ons, offs
        time.sleep(0.1)
    raise SystemExit("Dovecot logged no whole session of " + users)


class Bench:
    def __init__(self, peer_pass, kelvo, state):
        self.peer_pass = peer_pass
        self.kelvo_program = kelvo
        self.state = state
        self.log = os.path.join(state["dir"], "dovecot.log")
        self.work = tempfile.mkdtemp(prefix="kelvo-peers-")
        self.users = 0
        self.imap_relay = CountingRelay(state["imap_port"])
        self.smtp_relay = CountingRelay(state["smtp_port"])
        self.book = os.path.join(self.work, "contacts.vcf")
        with open(self.book, "w") as f:
            f.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Friend\r\nEMAIL:friend@example.jp\r\n"
                    "END:VCARD\r\n")

    def close(self):
        self.imap_relay.close()
        self.smtp_relay.close()
        shutil.rmtree(self.work, ignore_errors=True)

    # --- mailboxes

    def mailbox(self, mails, seen=False, age=0):
        self.users += 1
        user = "peers%d-%d" % (self.users, os.getpid())
        for sub in ("", "cur", "new", "tmp"):
            path = os.path.join(self.state["mail_root"], user, sub)
            os.makedirs(path, exist_ok=True)
            test_mailbox.own(self.state, path)
        for data in mails:
            self.put(user, data, seen, age)
        self.imap(user, ["EXAMINE INBOX", "FETCH 1:* (FLAGS)"])  # Dovecot indexes it now
        # Dovecot logs the sign-off a moment after its answer: a program's run that waits for
        # one must not take this one for its own.
        if not real_kelvo.wait_for_logout(self.state, user, 30):
            raise SystemExit("Dovecot logged no sign-off of " + user)
        return user

    def put(self, user, data, seen=False, age=0):
        """As test_mailbox.put, the file dated `age` seconds ago: Dovecot's arrival date."""
        box = os.path.join(self.state["mail_root"], user)
        name = "%d.K%d_%d.bench" % (time.time(), os.getpid(), time.time_ns())
        tmp = os.path.join(box, "tmp", name)
        with open(tmp, "wb") as f:
            f.write(data)
        test_mailbox.own(self.state, tmp)
        if age:
            then = time.time() - age
            os.utime(tmp, (then, then))
        os.rename(tmp, os.path.join(box, "cur", name + ":2,S") if seen else
                  os.path.join(box, "new", name))

    def drop(self, user):
        shutil.rmtree(os.path.join(self.state["mail_root"], user), ignore_errors=True)

    def clear_sink(self):
        """Forgets the mails the SMTP sink kept: nobody reads them, and large ones add up."""
        folder = self.state["sink_dir"]
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))

    def imap(self, user, commands, port=None):
        """Sends the commands after signing on (to Dovecot, or the port given); the bytes of
        each command's answer."""
        sizes = []
        with socket.create_connection(("127.0.0.1", port or self.state["imap_port"])) as s:
            f = s.makefile("rb")
            f.readline()
            for n, command in enumerate(["LOGIN %s %s" % (user, self.state["password"])]
                                        + commands + ["LOGOUT"]):
                tag = b"p%d " % n
                s.sendall(tag + command.encode() + b"\r\n")
                size = 0
                while True:
                    line = f.readline()
                    if not line:
                        raise SystemExit("Dovecot closed the connection at " + command)
                    size += len(line)
                    literal = re.search(rb"\{(\d+)\}\r\n$", line)
                    if literal:
                        size += len(f.read(int(literal.group(1))))
                    elif line.startswith(tag):
                        break
                sizes.append(size)
        return sizes[1:-1]

    # --- one run of a program

    def sessions(self, user, offset):
        """Sign-ons and the seconds from the first sign-on to the last sign-off of the user in
        Dovecot's log past offset; waits (bounded) for every session to be logged out."""
        ons, offs = logged_sessions(self.log, offset, re.escape(user))
        times = [datetime.strptime(t, "%Y-%m-%d %H:%M:%S.%f") for t in ons + offs]
        return len(ons), (max(times) - min(times)).total_seconds()

    def run(self, user, args, env=None, counted=False, ok=(0,)):
        offset = os.path.getsize(self.log)
        for relay in (self.imap_relay, self.smtp_relay):
            relay.reset()
        started = time.monotonic()
        peak = os.path.join(self.work, "peak_rss_kb")
        with open(os.path.join(self.work, "output.log"), "wb") as out:
            proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak] + args, env=env,
                                    stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.STDOUT, cwd=self.work)
            proc.wait()
        wall = time.monotonic() - started
        with open(peak) as f:
            peak_rss_kb = int(f.read().split()[-1])
        if proc.returncode not in ok:
            output = open(os.path.join(self.work, "output.log"), errors="replace").read()
            raise SystemExit("%s ended with %d:\n%s" % (args[0], proc.returncode, output[-3000:]))
        sign_ons, seconds = self.sessions(user, offset)
        result = {"seconds": seconds, "process_seconds": wall, "sign_ons": sign_ons,
                  "peak_rss_kb": peak_rss_kb}
        if counted:
            imap, smtp = self.imap_relay.figures(), self.smtp_relay.figures()
            result.update(connections=imap["connections"], client_turns=imap["client_turns"],
                          bytes_sent=imap["client_bytes"], bytes_received=imap["server_bytes"],
                          smtp_sessions=smtp["connections"], smtp_turns=smtp["client_turns"],
                          smtp_rsets=smtp["rset_commands"],
                          smtp_bytes_sent=smtp["client_bytes"])
        return result

    def kelvo(self, user, settings, counted, expect):
        imap = self.imap_relay.port if counted else self.state["imap_port"]
        smtp = self.smtp_relay.port if counted else self.state["smtp_port"]
        profiles = os.path.join(self.work, "profiles.ini")
        with open(profiles, "w") as f:
            f.write("[bench]\nstore = imap://127.0.0.1:%d\nstarttls = no\n"
                    "transport = smtp://127.0.0.1:%d\nsmtp-auth = no\nuser = %s\npassword = %s\n"
                    "address-book = %s\ntimeout = 120\ndefault = yes\n"
                    % (imap, smtp, user, self.state["password"], self.book))
        os.chmod(profiles, 0o600)
        output = os.path.join(self.work, "pass.json")
        # It ends with 1 after an error line, which the check below shows with the others.
        result = self.run(user, [self.peer_pass, profiles, settings, output], counted=counted,
                          ok=(0, 1))
        with open(output) as f:
            figures = json.load(f)
        got = (figures["new"], figures["forwarded"])
        if any(e is not None and e != g for e, g in zip(expect, got)) or figures["errors"]:
            raise SystemExit("Kelvo's pass saw %d new and forwarded %d, not %s and %s:\n%s"
                             % (got + expect + (figures["monitor"],)))
        result.update(pauses_after_sent=figures["pauses_after_sent"], pause_at_end=1,
                      rss_before_kb=figures["rss_before_kb"])
        return result

    def fetchmail(self, user, options, counted, check=False):
        imap = self.imap_relay.port if counted else self.state["imap_port"]
        smtp = self.smtp_relay.port if counted else self.state["smtp_port"]
        deliver = {"mda": peer_tools.TO_NOTHING, "smtp": peer_tools.to_smtp(smtp, PHONE)}
        rc, env = peer_tools.fetchmail_rc(tempfile.mkdtemp(dir=self.work),
                                          [(imap, user, self.state["password"], deliver[options])])
        args = ["fetchmail", "-f", rc] + (["--check"] if check else [])
        # --check ends with 1 when there is no new mail, which is the case measured.
        return self.run(user, args, env, counted, ok=(0, 1) if check else (0,))

    def imapfilter(self, user, counted, query="UNSEEN YOUNGER 1800"):
        imap = self.imap_relay.port if counted else self.state["imap_port"]
        home = tempfile.mkdtemp(dir=self.work)
        config = os.path.join(home, "config.lua")
        with open(config, "w") as f:
            f.write(peer_tools.imapfilter_account(imap, user, self.state["password"]) +
                    "-- The unread mail searched for on the server in one query, and left as\n"
                    "-- it is.\n"
                    "local recent = account.INBOX:send_query('%s')\n"
                    % query.replace("'", "\\'"))
        return self.run(user, ["imapfilter", "-c", config], dict(os.environ, HOME=home),
                        counted)

    # --- the cases

    def measure(self, make_user, sides, reuse):
        """RUNS timed runs of each side, taking turns, and one counted run of each; the mailbox
        made anew for every run unless reuse. sides maps a name to a run(user, counted)."""
        shared = make_user() if reuse else None
        runs = {side: [] for side in sides}
        for counted in [False] * RUNS + [True]:
            for side, go in sides.items():
                user = shared or make_user()
                runs[side].append(go(user, counted))
                if not reuse:
                    self.drop(user)
                    self.clear_sink()
        if reuse:
            self.drop(shared)
        out = {}
        for side, results in runs.items():
            timed, counted = results[:RUNS], results[RUNS]
            best = min(timed, key=lambda r: r["seconds"])
            out[side] = dict(counted, seconds=best["seconds"],
                             runs_seconds=[r["seconds"] for r in timed],
                             process_seconds=min(r["process_seconds"] for r in timed),
                             peak_rss_kb=max(r["peak_rss_kb"] for r in results),
                             runs_peak_rss_kb=[r["peak_rss_kb"] for r in results])
        return out

    # --- the program itself, for its memory

    def sink_bytes(self):
        folder = self.state["sink_dir"]
        return sum(os.path.getsize(os.path.join(folder, name)) for name in os.listdir(folder))

    def program(self, user, settings, passes=1, trigger=None, forwards=0):
        """`kelvo --service /S` over the user's Inbox: its resident size after each of
        `passes` passes, and its peak under GNU time. One pass runs with push off (the pass's
        session ends with a sign-off); more run with push on, each after trigger(n). The
        SMTP sink must have received at least `forwards` bytes by the end."""
        self.imap_relay.reset()
        folder = tempfile.mkdtemp(dir=self.work)
        os.rmdir(folder)
        seen = real_kelvo.logouts(self.state, user)
        k = real_kelvo.Kelvo(self.kelvo_program, self.peer_pass, folder, self.state, user,
                             settings, push=passes > 1, imap_port=self.imap_relay.port,
                             smtp_port=self.state["smtp_port"], address_book=self.book)
        after = []
        try:
            if not real_kelvo.wait_for_logout(self.state, user, 600, seen) or \
                    not self.imap_relay.figures()["connections"]:
                raise SystemExit("Kelvo made no pass:\n" + k.log())
            time.sleep(1)
            after.append(k.status_kb())
            for n in range(1, passes):
                idles = self.imap_relay.figures()["idle_commands"]
                trigger(n)
                deadline = time.monotonic() + 120
                while self.imap_relay.figures()["idle_commands"] <= idles:
                    if time.monotonic() > deadline or not k.running():
                        raise SystemExit("Kelvo made no pass on notice %d:\n%s" % (n, k.log()))
                    time.sleep(0.02)
                time.sleep(1)
                after.append(k.status_kb())
        finally:
            peak = k.stop()
        # The kernel brings its high-water mark up to date lazily: a reading above it counts.
        peak = max([peak] + after)
        if self.sink_bytes() < forwards:
            raise SystemExit("Kelvo forwarded %d bytes, not %d:\n%s"
                             % (self.sink_bytes(), forwards, k.log()))
        imap = self.imap_relay.figures()
        return {"peak_rss_kb": peak, "rss_after_passes_kb": after, "passes": passes,
                "settings": settings, "connections": imap["connections"],
                "bytes_received": imap["server_bytes"]}

    def idle_program(self):
        """The program's resident size once a pass over an empty Inbox is over: its idle."""
        user = self.mailbox([])
        try:
            result = self.program(user, "first-start")
        finally:
            self.drop(user)
        return {"idle_rss_kb": result["rss_after_passes_kb"][-1],
                "peak_rss_kb": result["peak_rss_kb"]}

    def with_program(self, make_user, settings, passes=1, trigger=None, forwards=0):
        user = make_user()
        self.clear_sink()
        try:
            return self.program(user, settings, passes, lambda n: trigger(user, n), forwards)
        finally:
            self.drop(user)
            self.clear_sink()

    def nothing(self, count=1000):
        mails = [text_mail(n) for n in range(1, count + 1)]
        result = self.measure(lambda: self.mailbox(mails, seen=True), {
            "kelvo": lambda u, c: self.kelvo(u, "first-start", c, (0, 0)),
            "peer": lambda u, c: self.fetchmail(u, "mda", c, check=True)}, True)
        result.update(peer_name="fetchmail --check", mails=count)
        return result

    def nothing10k(self):
        return self.nothing(10000)

    def unread(self):
        count = 10000

        def old(n):
            return mail(n, b"Content-Type: text/plain; charset=UTF-8\r\n"
                           b"Content-Transfer-Encoding: 8bit\r\n\r\n"
                        + ("本文 %d\r\n" % n).encode(), OLD_SECONDS)

        mails = [old(n) for n in range(1, count + 1)]

        def make():
            return self.mailbox(mails, age=OLD_SECONDS)

        result = self.measure(make, {
            "kelvo": lambda u, c: self.kelvo(u, "first-start", c, (None, 0)),
            "peer": self.imapfilter,
            "peer2": lambda u, c: self.fetchmail(u, "mda", c, check=True),
            "peer3": lambda u, c: self.imapfilter(u, c, KELVO_SEARCH)}, True)
        # One more old unread mail after each pass: its notice starts the next.
        result["program"] = self.with_program(
            make, "first-start", PASSES,
            lambda user, n: self.put(user, old(count + n), age=OLD_SECONDS))
        result.update(peer_name="imapfilter UNSEEN YOUNGER 1800", peer2_name="fetchmail --check",
                      peer3_name="imapfilter with Kelvo's search", peer3_query=KELVO_SEARCH,
                      mails=count, age_seconds=OLD_SECONDS)
        return result

    def twenty(self):
        mails = [text_mail(n) for n in range(1, 21)]
        result = self.measure(lambda: self.mailbox(mails), {
            "kelvo": lambda u, c: self.kelvo(u, "first-start", c, (20, 20)),
            "peer": lambda u, c: self.fetchmail(u, "mda", c)}, False)
        result["program"] = self.with_program(lambda: self.mailbox(mails), "first-start")
        result["peer_name"] = "fetchmail -> MDA"
        return result

    def large(self):
        data = large_mail()
        result = self.measure(lambda: self.mailbox([data]), {
            "kelvo": lambda u, c: self.kelvo(u, "first-start", c, (1, 1)),
            "kelvo0": lambda u, c: self.kelvo(u, "no-attachments", c, (1, 1)),
            "peer": lambda u, c: self.fetchmail(u, "smtp", c)}, False)
        result["program"] = self.with_program(lambda: self.mailbox([data]), "first-start",
                                              forwards=len(data))
        result["program0"] = self.with_program(lambda: self.mailbox([data]), "no-attachments",
                                               forwards=1)
        result.update(peer_name="fetchmail -> SMTP", mail_bytes=len(data))
        return result


CASES = ("nothing", "nothing10k", "unread", "twenty", "large")


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    peer_pass, kelvo, state_file, output = sys.argv[1:5]
    with open(state_file) as f:
        state = json.load(f)
    for tool in ("fetchmail", "imapfilter"):
        if not shutil.which(tool):
            sys.exit("%s is missing: scripts/install-bench-deps.sh installs it" % tool)
    bench = Bench(os.path.abspath(peer_pass), os.path.abspath(kelvo), state)
    # Only some cases, for trying the script: KELVO_PEERS_CASES=unread,large
    cases = [c for c in os.environ.get("KELVO_PEERS_CASES", "").split(",") if c] or CASES
    results = {}
    try:
        started = time.monotonic()
        results["idle"] = bench.idle_program()
        print("  idle: %.0f s" % (time.monotonic() - started), file=sys.stderr)
        for case in cases:
            started = time.monotonic()
            results[case] = getattr(bench, case)()
            print("  %s: %.0f s" % (case, time.monotonic() - started), file=sys.stderr)
    finally:
        bench.close()
    with open(output, "w") as f:
        json.dump({"peers": results, "load_average": os.getloadavg()}, f, indent=1)


if __name__ == "__main__":
    main()
