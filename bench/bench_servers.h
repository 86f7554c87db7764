// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The private Dovecot and SMTP sink of the mail tests, as benchmarks reach them: the state file
// tests/mail/mail_servers.py writes, and the Maildirs they deliver into.

#include "mail_server_state.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace kelvo::bench {

using Servers = test::MailServerState;

inline Servers readState(const QString& path) {
    Servers s;
    if (!test::readMailServerState(path, s))
        qFatal("cannot read %s", qPrintable(path));
    return s;
}

// Hands a file or folder to the mail user, as a delivery agent would leave it.
inline void own(const Servers& s, const QString& path) {
    if (::geteuid() == 0 && ::chown(QFile::encodeName(path).constData(), s.mailUid, s.mailGid) != 0)
        qFatal("cannot hand %s to the mail user", qPrintable(path));
}

// The user's Maildir, made when missing.
inline QString maildirOf(const Servers& s, const QString& user) {
    const QString box = s.mailRoot + u'/' + user;
    for (const char* sub : {"", "/cur", "/new", "/tmp"}) {
        QDir().mkpath(box + QLatin1String(sub));
        own(s, box + QLatin1String(sub));
    }
    return box;
}

// A file only its owner reads (a profiles file holds a password).
inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace kelvo::bench
