#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Processor time, wake-ups and memory of a Kelvo waiting between passes.

    idle_bench.py KELVO IDLE_REFERENCE STATE_FILE OUTPUT_JSON [SECONDS] [--push]

Starts Kelvo with "/S", its files in a fresh folder and a profile on the private Dovecot
(STATE_FILE from tests/mail/mail_servers.py): it makes its first pass at once and then waits a
long interval. Once the pass is over, Kelvo and a bare Qt window with a 2-second countdown
(IDLE_REFERENCE), started beside it, are watched for SECONDS.

Both run twice at the same time: on Qt's offscreen platform, where only the programs' own
timers wake them, and on a private Xvfb display without a window manager, where the window
Kelvo minimizes stays on screen and Qt's X event thread wakes for every repaint of the
countdown.

With --push the profile says "push = yes": Kelvo waits with its IDLE connection open.
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TICKS = os.sysconf("SC_CLK_TCK")


def start_xvfb():
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        display = f.readline().strip()
    if not display:
        sys.exit("Xvfb did not start")
    return xvfb, ":" + display


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime of all threads


def switches(pid):
    """Voluntary context switches of each of the process's threads: each is one sleep, one
    wake."""
    counts = {}
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/status" % (pid, task)) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        counts[task] = int(line.split()[1])
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


def write_settings(folder, state, name, interval=600, push=False):
    user = "idle-%s-%d" % (name, os.getpid())
    lines = ["[携帯電話の設定]", "メールアドレス=phone@docomo.ne.jp",
             "[基本設定]", "メールチェック間隔=%d" % interval, "同時接続フラグ=1",
             "[その他]", "ログ出力フラグ=0"]
    with open(os.path.join(folder, "setting.ini"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))
    config = os.path.join(folder, "config", "kelvo")
    os.makedirs(config)
    profiles = os.path.join(config, "profiles.ini")
    with open(profiles, "w") as f:
        f.write("[idle]\nstore = imap://127.0.0.1:%d\nstarttls = no\n"
                "transport = smtp://127.0.0.1:%d\nsmtp-auth = no\nuser = %s\npassword = %s\n"
                "timeout = 30\ndefault = yes\npush = %s\n"
                % (state["imap_port"], state["smtp_port"], user, state["password"],
                   "yes" if push else "no"))
    os.chmod(profiles, 0o600)
    return user


def logouts(state, user):
    """How many of the user's sessions Dovecot logged as ended."""
    try:
        with open(os.path.join(state["dir"], "dovecot.log"), errors="replace") as f:
            return sum(1 for line in f if "imap(%s)" % user in line and "Logged out" in line)
    except FileNotFoundError:
        return 0


def wait_for_logout(state, user, seconds=60.0, seen=0):
    """True once Dovecot logged the end of one more of the user's sessions than `seen`: the
    pass is over."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if logouts(state, user) > seen:
            return True
        time.sleep(0.05)
    return False


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
                     "threads": threads(p)}
    return out


def start_kelvo(name, env, folder, kelvo, state, interval=600, push=False):
    """Kelvo started with "/S" in a folder of its own; the mailbox user it signs on as."""
    os.makedirs(folder)
    shutil.copy(kelvo, os.path.join(folder, "kelvo"))
    user = write_settings(folder, state, name, interval, push)
    env = dict(env, XDG_CONFIG_HOME=os.path.join(folder, "config"))
    log = open(os.path.join(folder, "kelvo.log"), "wb")
    return subprocess.Popen([os.path.join(folder, "kelvo"), "/S"], cwd=folder, env=env,
                            stdin=subprocess.DEVNULL, stdout=log, stderr=log), user


def start_pair(name, env, folder, kelvo, reference, state, push=False):
    """Kelvo and the reference on one platform; the mailbox user Kelvo signs on as."""
    kelvo_process, user = start_kelvo(name, env, folder, kelvo, state, push=push)
    procs = [kelvo_process,
             subprocess.Popen([reference], env=env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
    return procs, user


def main():
    push = "--push" in sys.argv
    args = [a for a in sys.argv if a != "--push"]
    if len(args) < 5:
        sys.exit(__doc__)
    kelvo, reference, state_file, output = args[1:5]
    seconds = float(args[5]) if len(args) > 5 else 60.0
    with open(state_file) as f:
        state = json.load(f)
    root = tempfile.mkdtemp(prefix="kelvo-idle-")
    procs = {}
    xvfb = None
    try:
        xvfb, display = start_xvfb()
        platforms = {"offscreen": dict(os.environ, QT_QPA_PLATFORM="offscreen"),
                     "xvfb": dict(os.environ, QT_QPA_PLATFORM="xcb", DISPLAY=display)}
        users = {}
        for name, env in platforms.items():
            procs[name], users[name] = start_pair(name, env, os.path.join(root, name), kelvo,
                                                  reference, state, push)
        for name, user in users.items():
            if not wait_for_logout(state, user):
                log = open(os.path.join(root, name, "kelvo.log"), errors="replace").read()
                sys.exit("Kelvo (%s) made no pass:\n%s" % (name, log))
        # The wait after the pass, and Qt's idle pool threads (name look-ups) ending 30 s
        # after their last use.
        time.sleep(35)
        if any(p.poll() is not None for pair in procs.values() for p in pair):
            sys.exit("a program ended early")
        watched = {"%s/%s" % (name, role): pair[i].pid for name, pair in procs.items()
                   for i, role in enumerate(("kelvo", "reference"))}
        figures = watch(watched, seconds)
        result = {name: {role: figures["%s/%s" % (name, role)] for role in ("kelvo", "reference")}
                  for name in procs}
    finally:
        for pair in procs.values():
            for p in pair:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(root, ignore_errors=True)
    with open(output, "w") as f:
        json.dump({"idle": result}, f, indent=1)


if __name__ == "__main__":
    main()
