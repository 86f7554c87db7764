# SPDX-FileCopyrightText: 2026 The Kelvo developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""The peer tools' configuration as the benchmarks write it: fetchmail's run control file and
imapfilter's account, on the private servers of 127.0.0.1, plain IMAP, mail kept on the server."""
import os
import pwd

# fetchmail delivering to nothing: what it fetched is counted, not kept.
TO_NOTHING = 'mda "cat >/dev/null"'


def to_smtp(port, recipient):
    """fetchmail delivering to the SMTP sink at port, for recipient."""
    return 'smtphost "127.0.0.1/%d" smtpname "%s"' % (port, recipient)


def fetchmail_rc(home, polls):
    """Writes home/fetchmailrc (mode 0600) with one poll entry for each of polls: (port, user,
    password, delivery), or (port, user, password, delivery, name) for entries named apart on
    the same host; its path, and fetchmail's environment with home as its own."""
    me = pwd.getpwuid(os.getuid()).pw_name
    rc = os.path.join(home, "fetchmailrc")
    with open(rc, "w") as f:
        f.write("set no bouncemail\nset no syslog\n")
        for port, user, password, delivery, *name in polls:
            where = "%s via 127.0.0.1" % name[0] if name else "127.0.0.1"
            f.write("poll %s service %d protocol IMAP auth password\n"
                    "  user \"%s\" password \"%s\" is \"%s\" here sslproto '' keep %s\n"
                    % (where, port, user, password, me, delivery))
    os.chmod(rc, 0o600)
    return rc, dict(os.environ, FETCHMAILHOME=home, HOME=home)


def imapfilter_account(port, user, password):
    """The start of an imapfilter configuration: its options and `account`."""
    return ("options.timeout = 120\noptions.starttls = false\noptions.create = false\n"
            "options.subscribe = false\n"
            "account = IMAP { server = '127.0.0.1', port = %d, username = '%s', "
            "password = '%s' }\n" % (port, user, password))
