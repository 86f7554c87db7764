#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Processor time, wake-ups, memory, threads and open files of a Kelvo waiting between passes
with push on, beside fetchmail --idle.

    idle_bench.py PEER_PASS KELVO IDLE_REFERENCE STATE_FILE OUTPUT_JSON [SECONDS]

Starts, each with a mailbox of its own on the private Dovecot (STATE_FILE from
tests/mail/mail_servers.py):

  service    `kelvo --service /S`, a new setting.ini (30-minute interval), "push = yes"
  desktop    `kelvo /S` the same way on Qt's offscreen platform, its window minimized as
             forwarding starts
  fetchmail  `fetchmail --idle`, waiting for news on its IMAP connection
  reference  a bare Qt window with a 2-second countdown (IDLE_REFERENCE), offscreen

Once Kelvo's first passes are over (and Qt's idle pool threads have ended, 30 s after their
last use), all are watched for SECONDS (1740, ending before Kelvo's next pass is due):
processor time from the scheduler's own count (schedstat of every thread), wake-ups (context
switches of every thread, voluntary or not), resident memory, threads and open files at the
end.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import peer_tools
import real_kelvo


def cpu_seconds(pid):
    """Processor time of all the process's threads, as the scheduler counts it (ns)."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        except FileNotFoundError:
            pass  # a thread that ended meanwhile
    return total / 1e9


def switches(pid):
    """Context switches of each of the process's threads: each is one wake (or a turn given
    up to another)."""
    counts = {}
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/status" % (pid, task)) as f:
                for line in f:
                    if line.startswith(("voluntary_ctxt_switches:",
                                        "nonvoluntary_ctxt_switches:")):
                        counts[task] = counts.get(task, 0) + int(line.split()[1])
        except FileNotFoundError:
            pass  # a thread that ended meanwhile
    return counts


def wakeups(before, after):
    """Wake-ups between two counts: of the threads that lived through, and of those that
    started meanwhile (a thread that ended meanwhile took its count along)."""
    return sum(n - before.get(task, 0) for task, n in after.items())


def resident_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def threads(pid):
    return len(os.listdir("/proc/%d/task" % pid))


def open_files(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def watch(pids, seconds):
    start = {name: (cpu_seconds(p), switches(p)) for name, p in pids.items()}
    t0 = time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - t0
    out = {}
    for name, p in pids.items():
        cpu = cpu_seconds(p)
        out[name] = {"seconds": elapsed,
                     "cpu_percent": 100.0 * (cpu - start[name][0]) / elapsed,
                     "wakeups_per_second": wakeups(start[name][1], switches(p)) / elapsed,
                     "rss_mb": resident_mb(p),
                     "threads": threads(p),
                     "fds": open_files(p)}
    return out


def fetchmail_idle(state, folder):
    """fetchmail --idle on a mailbox of its own; the process."""
    user = "idle-fetchmail-%d" % os.getpid()
    box = os.path.join(state["mail_root"], user)
    for sub in ("", "cur", "new", "tmp"):
        os.makedirs(os.path.join(box, sub), exist_ok=True)
        if os.getuid() == 0:
            os.chown(os.path.join(box, sub), state["mail_uid"], state["mail_gid"])
    os.makedirs(folder)
    rc, env = peer_tools.fetchmail_rc(folder, [(state["imap_port"], user, state["password"],
                                                peer_tools.TO_NOTHING)])
    return subprocess.Popen(["fetchmail", "-f", rc, "--idle"],
                            env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, cwd=folder)


def main():
    if len(sys.argv) < 6:
        sys.exit(__doc__)
    peer_pass, kelvo, reference, state_file, output = sys.argv[1:6]
    seconds = float(sys.argv[6]) if len(sys.argv) > 6 else 1740.0
    with open(state_file) as f:
        state = json.load(f)
    root = tempfile.mkdtemp(prefix="kelvo-idle-")
    offscreen = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    kelvos, others = {}, {}
    try:
        for name, service in (("service", True), ("desktop", False)):
            user = "idle-%s-%d" % (name, os.getpid())
            kelvos[name] = (real_kelvo.Kelvo(kelvo, peer_pass, os.path.join(root, name), state,
                                             user, push=True, service=service, env=offscreen),
                            user)
        others["fetchmail"] = fetchmail_idle(state, os.path.join(root, "fetchmail"))
        others["reference"] = subprocess.Popen([reference], env=offscreen,
                                               stdin=subprocess.DEVNULL,
                                               stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL)
        for name, (k, user) in kelvos.items():
            if not real_kelvo.wait_for_logout(state, user, 120):
                sys.exit("Kelvo (%s) made no pass:\n%s" % (name, k.log()))
        # The wait after the pass, and Qt's idle pool threads (name look-ups) ending 30 s
        # after their last use.
        time.sleep(35)
        if not all(k.running() for k, _ in kelvos.values()) or \
                any(p.poll() is not None for p in others.values()):
            sys.exit("a program ended early")
        watched = {name: k.pid for name, (k, _) in kelvos.items()}
        watched.update({name: p.pid for name, p in others.items()})
        result = watch(watched, seconds)
    finally:
        for k, _ in kelvos.values():
            k.stop()
        for p in others.values():
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(root, ignore_errors=True)
    with open(output, "w") as f:
        json.dump({"idle": result, "interval_minutes": 30, "push": True}, f, indent=1)


if __name__ == "__main__":
    main()
