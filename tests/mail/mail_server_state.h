// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The private Dovecot and SMTP sink of the mail tests (mail_servers.py), as its state file
// describes them: for the tests and the benchmarks alike.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace kelvo::test {

struct MailServerState {
    QString dir;
    int imapPort = 0;
    int imapsPort = 0;
    int smtpPort = 0;
    QString mailRoot;
    int mailUid = -1;
    int mailGid = -1;
    QString caFile;
    QString sinkDir;
    QString password;
    // The second Dovecot: the same mailboxes, no IDLE, a certificate for another host name.
    int noIdleImapPort = 0;
    int noIdleImapsPort = 0;
    QString noIdleCaFile;
    // The test authorization server, and the Dovecots on the same mailboxes that take its
    // access tokens: XOAUTH2 and OAUTHBEARER (and PLAIN); XOAUTH2 alone; OAUTHBEARER alone. The
    // sink's ports that offer one token mechanism alone.
    int oauthPort = 0;
    int oauthImapPort = 0;
    int xoauth2ImapPort = 0;
    int oauthBearerImapPort = 0;
    int xoauth2SmtpPort = 0;
    int oauthBearerSmtpPort = 0;
};

// The state file read; false when it cannot be.
inline bool readMailServerState(const QString& path, MailServerState& s) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    s.dir = o.value("dir").toString();
    s.imapPort = o.value("imap_port").toInt();
    s.imapsPort = o.value("imaps_port").toInt();
    s.smtpPort = o.value("smtp_port").toInt();
    s.mailRoot = o.value("mail_root").toString();
    s.mailUid = o.value("mail_uid").toInt();
    s.mailGid = o.value("mail_gid").toInt();
    s.caFile = o.value("ca_file").toString();
    s.sinkDir = o.value("sink_dir").toString();
    s.password = o.value("password").toString();
    s.noIdleImapPort = o.value("noidle_imap_port").toInt();
    s.noIdleImapsPort = o.value("noidle_imaps_port").toInt();
    s.noIdleCaFile = o.value("noidle_ca_file").toString();
    s.oauthPort = o.value("oauth_port").toInt();
    s.oauthImapPort = o.value("oauth_imap_port").toInt();
    s.xoauth2ImapPort = o.value("xoauth2_imap_port").toInt();
    s.oauthBearerImapPort = o.value("oauthbearer_imap_port").toInt();
    s.xoauth2SmtpPort = o.value("xoauth2_smtp_port").toInt();
    s.oauthBearerSmtpPort = o.value("oauthbearer_smtp_port").toInt();
    return true;
}

} // namespace kelvo::test
