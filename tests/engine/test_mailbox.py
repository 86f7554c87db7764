#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""The private mail servers (mail_servers.py) as the scripted runs of the program use them.

    test_mailbox.py STATE get KEY                  print one value of the state file
    test_mailbox.py STATE deliver USER SUBJECT     put a new unread message into USER's Inbox
    test_mailbox.py STATE received ADDRESS WORD    print how many mails the sink kept for
                                                   ADDRESS whose decoded subject holds WORD
    test_mailbox.py STATE seen USER WORD           print how many of USER's Inbox messages
                                                   whose subject holds WORD are marked read
    test_mailbox.py STATE oauth PATH [FORM]        GET (or with FORM, POST) at the test
                                                   authorization server; print its answer
"""
import base64
import email
import email.policy
import email.utils
import json
import os
import sys
import time
import urllib.request
import uuid
from email.message import EmailMessage


def load(state_file):
    with open(state_file) as f:
        return json.load(f)


def own(state, path):
    # Served as "nobody" when the suite runs as root (see mail_servers.py).
    if os.getuid() == 0:
        os.chown(path, state["mail_uid"], state["mail_gid"])


def put(state, user, data, seen=False):
    """Puts one message into USER's Inbox, as a mail server's delivery does: written aside,
    then moved in one step; a read one straight into cur/ with its seen flag."""
    box = os.path.join(state["mail_root"], user)
    for sub in ("", "cur", "new", "tmp"):
        path = os.path.join(box, sub)
        os.makedirs(path, exist_ok=True)
        own(state, path)
    name = "%d.K%s.kelvo-test" % (time.time(), uuid.uuid4().hex)
    tmp = os.path.join(box, "tmp", name)
    with open(tmp, "wb") as f:
        f.write(data)
    own(state, tmp)
    os.rename(tmp, os.path.join(box, "cur", name + ":2,S") if seen else
              os.path.join(box, "new", name))


def deliver(state, user, subject):
    message = EmailMessage()
    message["From"] = "差出人 太郎 <sender@example.jp>"
    message["To"] = "%s@example.jp" % user
    message["Subject"] = subject
    message["Date"] = email.utils.formatdate(localtime=True)
    message["Message-ID"] = email.utils.make_msgid(domain="example.jp")
    message.set_content("自動転送の本文です。\n二行目。\n")
    put(state, user, message.as_bytes(policy=email.policy.SMTP))


def received(state, address, word):
    count = 0
    folder = state["sink_dir"]
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".json"):
            continue
        with open(os.path.join(folder, name)) as f:
            record = json.load(f)
        if address not in record["to"]:
            continue
        mail = email.message_from_bytes(base64.b64decode(record["data"]),
                                        policy=email.policy.default)
        if word in str(mail["subject"]):
            count += 1
    return count


def seen(state, user, word):
    # Dovecot keeps the flags in the file name of a message in cur/: "...:2,<flags>".
    folder = os.path.join(state["mail_root"], user, "cur")
    count = 0
    for name in os.listdir(folder) if os.path.isdir(folder) else []:
        flags = name.rpartition(":2,")[2] if ":2," in name else ""
        if "S" not in flags:
            continue
        with open(os.path.join(folder, name), "rb") as f:
            mail = email.message_from_bytes(f.read(), policy=email.policy.default)
        if word in str(mail["subject"]):
            count += 1
    return count


def oauth(state, path, form=None):
    request = urllib.request.Request("http://127.0.0.1:%d%s" % (state["oauth_port"], path),
                                     data=None if form is None else form.encode())
    with urllib.request.urlopen(request, timeout=10) as answer:
        return answer.read().decode()


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    state = load(argv[1])
    command, args = argv[2], argv[3:]
    if command == "get" and len(args) == 1:
        print(state[args[0]])
    elif command == "deliver" and len(args) == 2:
        deliver(state, args[0], args[1])
    elif command == "received" and len(args) == 2:
        print(received(state, args[0], args[1]))
    elif command == "seen" and len(args) == 2:
        print(seen(state, args[0], args[1]))
    elif command == "oauth" and len(args) in (1, 2):
        print(oauth(state, *args))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
