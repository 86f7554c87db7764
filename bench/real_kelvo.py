# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""The shipped program, started as users start it, for the benchmarks' figures.

Each Kelvo gets a folder of its own with a copy of the program (the program keeps its files
beside itself when it is not installed), a setting.ini written by `bench_peer_pass --write`
and a profiles.ini on the private Dovecot. It runs under GNU time, whose maximum resident size
is the process's own peak over its whole life.
"""
import os
import signal
import shutil
import subprocess
import time

PHONE = "phone@docomo.ne.jp"


def logouts(state, user):
    """How many of the user's sessions Dovecot logged as ended."""
    try:
        with open(os.path.join(state["dir"], "dovecot.log"), errors="replace") as f:
            return sum(1 for line in f if "imap(%s)" % user in line and "Logged out" in line)
    except FileNotFoundError:
        return 0


def wait_for_logout(state, user, seconds=60.0, seen=0):
    """True once Dovecot logged the end of one more of the user's sessions than `seen`: a pass
    without push is over."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if logouts(state, user) > seen:
            return True
        time.sleep(0.05)
    return False


def set_interval(folder, minutes):
    """Sets the check interval of the folder's setting.ini (CP932, as Kelvo writes it)."""
    path = os.path.join(folder, "setting.ini")
    with open(path, "rb") as f:
        lines = f.read().decode("cp932").split("\r\n")
    key = "メールチェック間隔="
    lines = [key + str(minutes) if line.startswith(key) else line for line in lines]
    with open(path, "wb") as f:
        f.write("\r\n".join(lines).encode("cp932"))


class Kelvo:
    """`kelvo --service /S` (or with service=False, `kelvo /S` on the environment's platform)
    in a folder of its own, under GNU time."""

    def __init__(self, kelvo, peer_pass, folder, state, user, settings="first-start",
                 push=True, interval=None, imap_port=None, smtp_port=None, service=True,
                 env=None, address_book=None):
        os.makedirs(folder)
        self.folder = folder
        program = os.path.join(folder, "kelvo")
        shutil.copy(kelvo, program)
        subprocess.run([peer_pass, "--write", settings, folder], check=True)
        if interval is not None:
            set_interval(folder, interval)
        config = os.path.join(folder, "config", "kelvo")
        os.makedirs(config)
        profiles = os.path.join(config, "profiles.ini")
        with open(profiles, "w") as f:
            f.write("[bench]\nstore = imap://127.0.0.1:%d\nstarttls = no\n"
                    "transport = smtp://127.0.0.1:%d\nsmtp-auth = no\nuser = %s\npassword = %s\n"
                    "timeout = 120\ndefault = yes\npush = %s\n"
                    % (imap_port or state["imap_port"], smtp_port or state["smtp_port"], user,
                       state["password"], "yes" if push else "no"))
            if address_book:
                f.write("address-book = %s\n" % address_book)
        os.chmod(profiles, 0o600)
        env = dict(env or os.environ, XDG_CONFIG_HOME=os.path.join(folder, "config"))
        self.peak_file = os.path.join(folder, "peak_rss_kb")
        self.log_path = os.path.join(folder, "kelvo.log")
        args = [program] + (["--service"] if service else []) + ["/S"]
        with open(self.log_path, "wb") as log:
            self.time = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", self.peak_file]
                                         + args, cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                         stdout=log, stderr=log)
        self.pid = self._child()

    def _child(self):
        """The program's own process, GNU time's child."""
        path = "/proc/%d/task/%d/children" % (self.time.pid, self.time.pid)
        for _ in range(200):
            try:
                with open(path) as f:
                    children = f.read().split()
            except FileNotFoundError:
                children = []
            if children:
                return int(children[0])
            if self.time.poll() is not None:
                break
            time.sleep(0.01)
        raise SystemExit("Kelvo did not start:\n" + self.log())

    def log(self):
        with open(self.log_path, errors="replace") as f:
            return f.read()[-3000:]

    def running(self):
        return self.time.poll() is None

    def status_kb(self, field="VmRSS"):
        with open("/proc/%d/status" % self.pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
        return 0

    def stop(self):
        """Ends the program as the service manager does; its peak resident size in kB."""
        if self.running():
            os.kill(self.pid, signal.SIGTERM)
        try:
            self.time.wait(30)
        except subprocess.TimeoutExpired:
            os.kill(self.pid, signal.SIGKILL)
            self.time.wait()
        try:
            with open(self.peak_file) as f:
                return int(f.read().split()[-1])
        except (FileNotFoundError, ValueError, IndexError):
            return 0
