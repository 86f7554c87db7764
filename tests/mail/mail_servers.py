#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Starts and stops the private mail servers of the mail integration tests.

    mail_servers.py start STATE_FILE [--timed-log]   start Dovecot (IMAP, IMAPS) and an SMTP sink,
                                                     a second Dovecot on the same mail without
                                                     IDLE or WITHIN whose certificate names
                                                     another host,
                                                     the test authorization server, and three
                                                     Dovecots on the same mail that take its
                                                     access tokens (PLAIN, XOAUTH2 and
                                                     OAUTHBEARER offered; XOAUTH2 alone;
                                                     OAUTHBEARER alone)
    mail_servers.py stop STATE_FILE                  stop them and remove their folder

--timed-log (for the benchmarks) stamps Dovecot's log lines to the microsecond, so that a
session can be timed from its sign-on to its sign-off.

Everything lives in a fresh folder under the system's temporary folder, on loopback ports
chosen anew each run. The state file (JSON) tells the tests where things are.
"""
import grp
import json
import os
import pwd
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"  # Debian's own, which has aiosmtpd
PASSWORD = "kelvo-test-pass"

DOVECOT_CONF = """\
base_dir = {dir}/run
state_dir = {dir}/state
log_path = {dir}/dovecot.log
info_log_path = {dir}/dovecot.log
{log_timestamp}protocols = imap
listen = 127.0.0.1
{users}
ssl = yes
ssl_cert = <{certs}/cert.pem
ssl_key = <{certs}/key.pem
disable_plaintext_auth = no
auth_failure_delay = 0
mail_location = maildir:{mail}/%u
first_valid_uid = 1
{auth}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={mail}/%u
}}
{extra}
service imap-login {{
  {chroot}
  {login}
  inet_listener imap {{
    port = {imap_port}
  }}
  inet_listener imaps {{
    port = {imaps_port}
    ssl = yes
  }}
}}
service anvil {{
  {chroot}
  # No growing delay after failed logins from the same address.
  unix_listener anvil-auth-penalty {{
    mode = 0
  }}
}}
"""


# The timed servers' processes, started before the clients come.
READY_LOGIN = "service_count = 0\n  process_min_avail = 2"
READY_IMAP = "service imap {\n  process_min_avail = 4\n}\n"

# How the first two servers check a sign-on: the one password.
PASSWORD_AUTH = """\
auth_mechanisms = plain login
passdb {{
  driver = static
  args = password={password}
}}"""

# How the OAuth 2.0 servers do: the access token, asked of oauth_server.py. The first offers
# PLAIN too, as the big providers do, but no password is ever taken; the others offer one token
# mechanism and nothing else.
OAUTH_AUTH = """\
auth_mechanisms = {offered}
passdb {{
  driver = oauth2
  mechanisms = {mechanisms}
  args = {conf}
}}"""

OAUTH_CONF = """\
introspection_mode = post
introspection_url = http://127.0.0.1:{port}/introspect
username_attribute = username
active_attribute = active
active_value = true
"""


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_greeting(port, seconds=10.0, expect_greeting=True):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1.0) as s:
                if not expect_greeting or s.recv(100):
                    return True
        except OSError:
            time.sleep(0.05)
    return False


def spawn(args, log_path, cwd, env=None):
    with open(log_path, "ab") as log, open(os.devnull, "rb") as null:
        return subprocess.Popen(args, stdin=null, stdout=log, stderr=log, cwd=cwd, env=env,
                                start_new_session=True).pid


# What Dovecot offers, less IDLE and WITHIN (searches by age in seconds).
NO_IDLE = ("imap_capability = IMAP4rev1 LITERAL+ SASL-IR LOGIN-REFERRALS ID ENABLE SORT "
           "THREAD=REFERENCES MULTIAPPEND UNSELECT CHILDREN NAMESPACE UIDPLUS LIST-EXTENDED "
           "I18NLEVEL=1 CONDSTORE QRESYNC ESEARCH ESORT SEARCHRES CONTEXT=SEARCH "
           "LIST-STATUS BINARY MOVE SPECIAL-USE\n")


def make_certificate(folder, names="IP:127.0.0.1,DNS:localhost", subject="/CN=127.0.0.1"):
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
         "-subj", subject, "-addext", "subjectAltName=" + names,
         "-keyout", os.path.join(folder, "key.pem"), "-out", os.path.join(folder, "cert.pem")],
        check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def searchable_temp_root():
    """The temporary folder, when Dovecot's own users can pass through every folder above it."""
    root = tempfile.gettempdir()
    path = root
    while True:
        if not os.stat(path).st_mode & stat.S_IXOTH:
            return "/tmp"
        parent = os.path.dirname(path)
        if parent == path:
            return root
        path = parent


def start(state_file, timed_log=False):
    folder = tempfile.mkdtemp(prefix="kelvo-mail-", dir=searchable_temp_root())
    # Dovecot's own processes run as other users and must reach the files.
    os.chmod(folder, 0o755)
    for sub in ("mail", "sink"):
        os.mkdir(os.path.join(folder, sub))
    make_certificate(folder)
    os.chmod(os.path.join(folder, "key.pem"), 0o600)

    if os.getuid() == 0:
        # Dovecot refuses root as a mail user: mail is served as nobody.
        uid, gid = 65534, 65534
        users = ""
        chroot = ""
        os.chown(os.path.join(folder, "mail"), uid, gid)
    else:
        uid, gid = os.getuid(), os.getgid()
        # Dovecot's own processes run as this user too, without chroot.
        users = ("default_internal_user = {0}\ndefault_login_user = {0}\n"
                 "default_internal_group = {1}\n").format(pwd.getpwuid(uid).pw_name,
                                                          grp.getgrgid(gid).gr_name)
        chroot = "chroot ="
    state = {
        "dir": folder,
        "imap_port": free_port(),
        "imaps_port": free_port(),
        "smtp_port": free_port(),
        "mail_root": os.path.join(folder, "mail"),
        "mail_uid": uid,
        "mail_gid": gid,
        "ca_file": os.path.join(folder, "cert.pem"),
        "sink_dir": os.path.join(folder, "sink"),
        "password": PASSWORD,
    }
    common = dict(mail=state["mail_root"], users=users, chroot=chroot, uid=uid, gid=gid)

    def dovecot(name, certs, imap_port, imaps_port, extra="", auth=None, log_timestamp="",
                ready=False):
        """Starts a Dovecot whose files live in the sub-folder name ("" for the first); ready:
        with its processes started before the clients come, as a provider's are, so that a
        timed sign-on is not Dovecot starting processes on the cores the clients run on."""
        if ready:
            extra += READY_IMAP
        where = os.path.join(folder, name) if name else folder
        for sub in ("", "run", "state"):
            os.makedirs(os.path.join(where, sub), exist_ok=True)
        os.chmod(where, 0o755)
        conf = os.path.join(where, "dovecot.conf")
        with open(conf, "w") as f:
            f.write(DOVECOT_CONF.format(dir=where, certs=certs, extra=extra,
                                        login=READY_LOGIN if ready else "",
                                        log_timestamp=log_timestamp,
                                        auth=auth or PASSWORD_AUTH.format(password=PASSWORD),
                                        imap_port=imap_port, imaps_port=imaps_port, **common))
        return spawn(["dovecot", "-F", "-c", conf], os.path.join(where, "dovecot.out"), where)

    stamp = 'log_timestamp = "%Y-%m-%d %H:%M:%S.%{usecs} "\n' if timed_log else ""
    state["dovecot_pid"] = dovecot("", folder, state["imap_port"], state["imaps_port"],
                                   log_timestamp=stamp, ready=timed_log)
    # The second server: the same mailboxes, no IDLE, a certificate for other.example.
    other = os.path.join(folder, "noidle")
    os.makedirs(other)
    make_certificate(other, "DNS:other.example", "/CN=other.example")
    os.chmod(os.path.join(other, "key.pem"), 0o600)
    state["noidle_imap_port"] = free_port()
    state["noidle_imaps_port"] = free_port()
    state["noidle_ca_file"] = os.path.join(other, "cert.pem")
    state["noidle_pid"] = dovecot("noidle", other, state["noidle_imap_port"],
                                  state["noidle_imaps_port"], extra=NO_IDLE)
    # The authorization server, and three servers on the same mailboxes that take its access
    # tokens: one offers XOAUTH2 and OAUTHBEARER (and PLAIN), the others one of them alone.
    state["oauth_port"] = free_port()
    state["oauth_pid"] = spawn([PYTHON, os.path.join(HERE, "oauth_server.py"),
                                str(state["oauth_port"])], os.path.join(folder, "oauth.out"),
                               folder)
    oauth_conf = os.path.join(folder, "dovecot-oauth2.conf.ext")
    with open(oauth_conf, "w") as f:
        f.write(OAUTH_CONF.format(port=state["oauth_port"]))
    for name, mechanisms, offered in (("oauth", "xoauth2 oauthbearer", "plain xoauth2 oauthbearer"),
                                      ("xoauth2", "xoauth2", "xoauth2"),
                                      ("oauthbearer", "oauthbearer", "oauthbearer")):
        state[name + "_imap_port"] = free_port()
        state[name + "_dovecot_pid"] = dovecot(
            name, folder, state[name + "_imap_port"], free_port(),
            auth=OAUTH_AUTH.format(mechanisms=mechanisms, offered=offered, conf=oauth_conf))
    # The sink, and two more ports of it that offer one token mechanism alone.
    state["xoauth2_smtp_port"] = free_port()
    state["oauthbearer_smtp_port"] = free_port()
    state["sink_pid"] = spawn([PYTHON, os.path.join(HERE, "smtp_sink.py"), str(state["smtp_port"]),
                               state["sink_dir"], str(state["oauth_port"]),
                               "--xoauth2-port", str(state["xoauth2_smtp_port"]),
                               "--oauthbearer-port", str(state["oauthbearer_smtp_port"])],
                              os.path.join(folder, "sink.out"), folder,
                              env=dict(os.environ, SINK_PASSWORD=PASSWORD))
    with open(state_file, "w") as f:
        json.dump(state, f)
    ok = (all(wait_for_greeting(state[key]) for key in
              ("imap_port", "smtp_port", "noidle_imap_port", "oauth_imap_port",
               "xoauth2_imap_port", "oauthbearer_imap_port", "xoauth2_smtp_port",
               "oauthbearer_smtp_port")) and
          wait_for_greeting(state["oauth_port"], expect_greeting=False))
    if not ok:
        for name in ("dovecot.out", "dovecot.log", "sink.out", "oauth.out"):
            for sub in ("", "noidle", "oauth", "xoauth2", "oauthbearer"):
                path = os.path.join(folder, sub, name)
                if os.path.exists(path):
                    sys.stderr.write("--- %s\n%s\n" % (path, open(path, errors="replace").read()))
        stop(state_file)
        sys.exit("mail servers did not start")
    print("mail servers up in", folder)


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False


def stop_processes(pids, seconds=10.0):
    """Asks every process group to end, all at once, and kills what is left after the seconds."""
    live = []
    for pid in pids:
        try:
            os.killpg(pid, signal.SIGTERM)
            live.append(pid)
        except ProcessLookupError:
            pass
    deadline = time.monotonic() + seconds
    while live and time.monotonic() < deadline:
        time.sleep(0.05)
        live = [pid for pid in live if alive(pid)]
    for pid in live:
        try:
            os.killpg(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def stop(state_file):
    if not os.path.exists(state_file):
        return
    with open(state_file) as f:
        state = json.load(f)
    stop_processes([state[key] for key in ("sink_pid", "dovecot_pid", "noidle_pid",
                                           "oauth_dovecot_pid", "xoauth2_dovecot_pid",
                                           "oauthbearer_dovecot_pid", "oauth_pid")
                    if state.get(key)])
    shutil.rmtree(state["dir"], ignore_errors=True)
    os.remove(state_file)


if __name__ == "__main__":
    timed = sys.argv[3:] == ["--timed-log"]
    if len(sys.argv) - timed != 3 or sys.argv[1] not in ("start", "stop"):
        sys.exit(__doc__)
    if sys.argv[1] == "start":
        stop(sys.argv[2])  # a leftover of an interrupted run
        start(sys.argv[2], timed)
    else:
        stop(sys.argv[2])
