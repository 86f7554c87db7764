#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Time from a mail's arrival in the Inbox to its arrival at the SMTP sink, push on and off.

    push_latency.py KELVO STATE_FILE OUTPUT_JSON [MAILS]

Starts Kelvo with "/S" on the offscreen platform, a profile on the private Dovecot (STATE_FILE
from tests/mail/mail_servers.py) and a 1-minute interval, first with "push = yes", then with
"push = no". Each mail is put into the Inbox at a random moment of the interval after the
previous pass has ended (Dovecot logged its session out and the pass's closing wait is over).
"""
import json
import os
import random
import shutil
import signal
import statistics
import sys
import tempfile
import time

import idle_bench

INTERVAL_MINUTES = 1


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


def sink_count(state):
    return len([n for n in os.listdir(state["sink_dir"]) if n.endswith(".json")])


def wait_until(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.005)
    return False


def measure(kelvo, state, root, push, mails, rng):
    name = "push-on" if push else "push-off"
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    proc, user = idle_bench.start_kelvo(name, env, os.path.join(root, name), kelvo, state,
                                        INTERVAL_MINUTES, push)
    samples = []
    try:
        if not idle_bench.wait_for_logout(state, user):
            sys.exit("Kelvo (%s) made no pass" % name)
        for i in range(mails):
            # The pass's closing wait, then a random moment of the interval.
            time.sleep(3.5 + rng.uniform(0, 60 * INTERVAL_MINUTES))
            seen, out = sink_count(state), idle_bench.logouts(state, user)
            t0 = time.monotonic()
            deliver(state, user, "bench-%d" % i)
            if not wait_until(lambda: sink_count(state) > seen, 180):
                sys.exit("mail %d (%s) never reached the sink" % (i, name))
            samples.append(time.monotonic() - t0)
            idle_bench.wait_for_logout(state, user, 60, out)
    finally:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(10)
        except Exception:
            proc.kill()
    return {"median_s": statistics.median(samples), "max_s": max(samples), "samples": samples}


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    kelvo, state_file, output = sys.argv[1:4]
    mails = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    with open(state_file) as f:
        state = json.load(f)
    rng = random.Random(17)
    root = tempfile.mkdtemp(prefix="kelvo-push-")
    try:
        result = {"push_on": measure(kelvo, state, root, True, mails, rng),
                  "push_off": measure(kelvo, state, root, False, mails, rng)}
    finally:
        shutil.rmtree(root, ignore_errors=True)
    with open(output, "w") as f:
        json.dump({"push_latency": result, "interval_minutes": INTERVAL_MINUTES}, f, indent=1)


if __name__ == "__main__":
    main()
