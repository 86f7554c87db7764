#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Time from a mail's arrival in the Inbox to its arrival at the sink, with push, beside the
peers waiting for news the same way; and Kelvo with push off.

    push_latency.py PEER_PASS KELVO STATE_FILE OUTPUT_JSON [NOTICES]

Each side waits on its own mailbox of the private Dovecot (STATE_FILE from
tests/mail/mail_servers.py) through a counting relay, and gets the same NOTICES drops (10):
one mail put into the Inbox a random 0.5 to 3 s after the side is waiting again (it sent its
next IDLE) and, for Kelvo, its pass has ended (the specified 3-s waits after the sent mail and
at the pass's end), timed to its arrival at the sink.

  kelvo      `kelvo --service /S` with "push = yes" and a new setting.ini (30-minute
             interval), forwarding to the SMTP sink
  fetchmail  `fetchmail --idle`, delivering to the SMTP sink
  imapfilter a Lua loop: `enter_idle`, then every unread mail fetched, written into a folder
             of its own (its sink) and marked read

The relay counts the IMAP connections opened while the notices come. Last, Kelvo with
"push = no" and a 1-minute interval gets 5 mails, each at a random moment of the interval after
the previous pass has ended (Dovecot logged its session out).
"""
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import peer_tools
import real_kelvo
from counting_relay import CountingRelay

PUSH_OFF_INTERVAL_MINUTES = 1
PUSH_OFF_MAILS = 5


def deliver(state, user, subject):
    box = os.path.join(state["mail_root"], user)
    for sub in ("", "cur", "new", "tmp"):
        path = os.path.join(box, sub)
        os.makedirs(path, exist_ok=True)
        if os.getuid() == 0:
            os.chown(path, state["mail_uid"], state["mail_gid"])
    name = "%d.%d_%s.bench" % (time.time(), os.getpid(), subject)
    tmp = os.path.join(box, "tmp", name)
    with open(tmp, "wb") as f:
        f.write(("From: taro@example.jp\r\nTo: me@example.jp\r\nSubject: %s\r\n"
                 "Date: %s\r\n\r\nbody\r\n"
                 % (subject, time.strftime("%a, %d %b %Y %H:%M:%S %z"))).encode())
    if os.getuid() == 0:
        os.chown(tmp, state["mail_uid"], state["mail_gid"])
    os.rename(tmp, os.path.join(box, "new", name))


def files(folder, suffix):
    return len([n for n in os.listdir(folder) if n.endswith(suffix)])


def wait_until(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.005)
    return False


def stop(proc):
    proc.terminate()
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


class Push:
    def __init__(self, peer_pass, kelvo, state, root, rng):
        self.peer_pass, self.kelvo, self.state, self.root, self.rng = (peer_pass, kelvo, state,
                                                                       root, rng)
        self.relay = CountingRelay(state["imap_port"])
        self.users = 0

    def user(self, name):
        self.users += 1
        user = "push-%s-%d-%d" % (name, self.users, os.getpid())
        deliver(self.state, user, "before")  # makes the Maildir; the first pass takes it
        return user

    def notices(self, name, user, sink_count, alive, count, pauses=0.0):
        """count drops, each once the side waits again and its pass has ended (pauses: the
        seconds a pass still waits after its mail went out); the seconds of each and the IMAP
        connections opened meanwhile."""
        before = self.relay.figures()["connections"]
        samples = []
        for i in range(count):
            time.sleep(self.rng.uniform(0.5, 3.0) + (pauses if i else 0.0))
            seen, idles = sink_count(), self.relay.figures()["idle_commands"]
            t0 = time.monotonic()
            deliver(self.state, user, "bench-%d" % i)
            if not wait_until(lambda: sink_count() > seen, 180):
                sys.exit("mail %d (%s) never reached the sink" % (i, name))
            samples.append(time.monotonic() - t0)
            if not wait_until(lambda: self.relay.figures()["idle_commands"] > idles or not alive(),
                              120) or not alive():
                sys.exit("%s did not wait for news again after mail %d" % (name, i))
        return {"median_s": statistics.median(samples), "max_s": max(samples),
                "samples": samples,
                "connections_opened": self.relay.figures()["connections"] - before}

    def waiting(self, name, alive):
        if not wait_until(lambda: self.relay.figures()["idle_commands"] > 0 or not alive(), 120) \
                or not alive():
            sys.exit("%s never waited for news" % name)

    def kelvo_push(self, count):
        self.relay.reset()
        user = self.user("kelvo")
        k = real_kelvo.Kelvo(self.kelvo, self.peer_pass, os.path.join(self.root, "kelvo"),
                             self.state, user, push=True, imap_port=self.relay.port)
        sink = lambda: files(self.state["sink_dir"], ".json")  # noqa: E731
        try:
            if not real_kelvo.wait_for_logout(self.state, user, 120):
                sys.exit("Kelvo made no first pass:\n" + k.log())
            self.waiting("Kelvo", k.running)
            time.sleep(1)
            # Kelvo's pass ends with its specified waits, 3 s after the sent mail and 3 s at
            # its end: news meanwhile is for the next pass by design, so a drop comes after them.
            result = self.notices("Kelvo", user, sink, k.running, count, pauses=6.0)
        finally:
            result_peak = k.stop()
        result.update(connections=self.relay.figures()["connections"], peak_rss_kb=result_peak)
        return result

    def peer(self, name, user, args, env, home, sink, count):
        """A peer started in home, waiting for news of the user's mailbox through the relay;
        its notices, sink counting what reached it."""
        proc = subprocess.Popen(args, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=home)
        alive = lambda: proc.poll() is None  # noqa: E731
        try:
            self.waiting(name, alive)
            time.sleep(1)
            result = self.notices(name, user, sink, alive, count)
        finally:
            stop(proc)
        result["connections"] = self.relay.figures()["connections"]
        return result

    def fetchmail(self, count):
        self.relay.reset()
        user = self.user("fetchmail")
        home = tempfile.mkdtemp(dir=self.root)
        rc, env = peer_tools.fetchmail_rc(home, [(
            self.relay.port, user, self.state["password"],
            peer_tools.to_smtp(self.state["smtp_port"], real_kelvo.PHONE))])
        return self.peer("fetchmail", user, ["fetchmail", "-f", rc, "--idle"], env, home,
                         lambda: files(self.state["sink_dir"], ".json"), count)

    def imapfilter(self, count):
        self.relay.reset()
        user = self.user("imapfilter")
        home = tempfile.mkdtemp(dir=self.root)
        sink_dir = os.path.join(home, "sink")
        os.mkdir(sink_dir)
        config = os.path.join(home, "config.lua")
        with open(config, "w") as f:
            f.write(peer_tools.imapfilter_account(self.relay.port, user, self.state["password"]) +
                    "while true do\n"
                    "  local new = account.INBOX:is_unseen()\n"
                    "  for _, m in ipairs(new) do\n"
                    "    local mbox, uid = m[1], m[2]\n"
                    "    local text = mbox[uid]:fetch_message()\n"
                    "    local f = io.open('%s/' .. uid .. '.eml', 'w')\n"
                    "    f:write(text)\n"
                    "    f:close()\n"
                    "  end\n"
                    "  new:mark_seen()\n"
                    "  if not account.INBOX:enter_idle() then break end\n"
                    "end\n" % sink_dir)
        return self.peer("imapfilter", user, ["imapfilter", "-c", config],
                         dict(os.environ, HOME=home), home, lambda: files(sink_dir, ".eml"),
                         count)

    def kelvo_push_off(self):
        user = self.user("kelvo-off")
        k = real_kelvo.Kelvo(self.kelvo, self.peer_pass, os.path.join(self.root, "kelvo-off"),
                             self.state, user, push=False, interval=PUSH_OFF_INTERVAL_MINUTES)
        samples = []
        try:
            if not real_kelvo.wait_for_logout(self.state, user, 120):
                sys.exit("Kelvo (push off) made no pass:\n" + k.log())
            for i in range(PUSH_OFF_MAILS):
                # The pass's closing wait, then a random moment of the interval.
                time.sleep(3.5 + self.rng.uniform(0, 60 * PUSH_OFF_INTERVAL_MINUTES))
                seen = files(self.state["sink_dir"], ".json")
                out = real_kelvo.logouts(self.state, user)
                t0 = time.monotonic()
                deliver(self.state, user, "bench-%d" % i)
                if not wait_until(lambda: files(self.state["sink_dir"], ".json") > seen, 180):
                    sys.exit("mail %d (push off) never reached the sink" % i)
                samples.append(time.monotonic() - t0)
                real_kelvo.wait_for_logout(self.state, user, 60, out)
        finally:
            k.stop()
        return {"median_s": statistics.median(samples), "max_s": max(samples),
                "samples": samples}


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    peer_pass, kelvo, state_file, output = sys.argv[1:5]
    count = int(sys.argv[5]) if len(sys.argv) > 5 else 10
    with open(state_file) as f:
        state = json.load(f)
    root = tempfile.mkdtemp(prefix="kelvo-push-")
    bench = Push(os.path.abspath(peer_pass), os.path.abspath(kelvo), state, root,
                 random.Random(17))
    try:
        result = {"kelvo": bench.kelvo_push(count), "fetchmail": bench.fetchmail(count),
                  "imapfilter": bench.imapfilter(count)}
        if os.environ.get("KELVO_PUSH_OFF", "1") != "0":
            result["kelvo_push_off"] = bench.kelvo_push_off()
    finally:
        bench.relay.close()
        shutil.rmtree(root, ignore_errors=True)
    with open(output, "w") as f:
        json.dump({"push_latency": result, "notices": count,
                   "push_off_interval_minutes": PUSH_OFF_INTERVAL_MINUTES}, f, indent=1)


if __name__ == "__main__":
    main()
