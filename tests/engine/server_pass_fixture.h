// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "fakes.h"
#include "first_start_settings.h"
#include "pass_runner.h"
#include "server_fixture.h"
#include "temp_dir.h"
#include "virtual_clock.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace kelvo::test {

// Ten lines of 50 characters: three parts at the default part size.
inline QString longBody() {
    QStringList lines;
    for (int i = 1; i <= 10; ++i)
        lines << QStringLiteral("第%1行").arg(i, 2, 10, QLatin1Char('0')).leftJustified(50, u'あ');
    return lines.join(QStringLiteral("\r\n"));
}

// The engine over the mail tests' private Dovecot and SMTP sink, for a mailbox user of its
// own: the settings of a new setting.ini with the phone's address, long mails in parts.
class ServerPassTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (servers.imapPort == 0)
            GTEST_SKIP() << "the mail servers are not running";
        mail = std::make_unique<ServerMail>(user);
        初回設定(設定, phone);
        設定.自動分割フラグ = QStringLiteral("0");
        ctx.mapSess = mail->mapSess.get();
        ctx.mapMess = mail->mapMess.get();
        ctx.リストファイルパス = dir.filePath(QStringLiteral("list.ini"));
    }

    // Points the suite's profile at other ports (a server of the test's own, a proxy); returns
    // the profiles file's new text.
    QString route(int imapPort, int smtpPort) {
        QString profiles = QString::fromUtf8(readAll(mail->profilesPath));
        profiles.replace(QStringLiteral("imap://127.0.0.1:%1").arg(servers.imapPort),
                         QStringLiteral("imap://127.0.0.1:%1").arg(imapPort));
        profiles.replace(QStringLiteral("smtp://127.0.0.1:%1").arg(servers.smtpPort),
                         QStringLiteral("smtp://127.0.0.1:%1").arg(smtpPort));
        mail->writeProfiles(profiles);
        return profiles;
    }
    void pass() {
        clock.advance(60);
        パス実行(ctx);
    }
    QStringList errors() const {
        QStringList out;
        for (const QString& line : window.monitor)
            if (line.contains(QStringLiteral("エラー！")))
                out << line;
        return out;
    }

    const MailServers& servers = MailServers::get();
    // Tests run side by side: the process number keeps two started in the same millisecond
    // apart.
    const QString user = QStringLiteral("user-%1-%2")
                             .arg(QDateTime::currentMSecsSinceEpoch(), 0, 36)
                             .arg(QCoreApplication::applicationPid());
    QString phone = QStringLiteral("phone@docomo.ne.jp");
    std::unique_ptr<ServerMail> mail;
    QTemporaryDir dir;
    VirtualClock clock{QDateTime::currentDateTime()};
    FakeWindow window{clock};
    RecordingExit exit;
    SettingsRecord 設定;
    RunState 状態;
    EngineContext ctx{設定, 状態, window, clock, clock, exit, QString()};
};

} // namespace kelvo::test
