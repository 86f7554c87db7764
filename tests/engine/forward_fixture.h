// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/engine_context.h"
#include "engine/forward_state.h"
#include "fakes.h"
#include "first_start_settings.h"
#include "mail/core/mail_error.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/memory_backend.h"
#include "memory_engine.h"
#include "pass_runner.h"
#include "virtual_clock.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace kelvo::test {

inline const QString kPhone = QStringLiteral("phone@docomo.ne.jp");

// The engine over an in-memory mailbox, with the settings of a new setting.ini and the phone's
// address filled in.
class ForwardTest : public ::testing::Test, protected MemoryEngine<FakeWindow> {
protected:
    ForwardTest() {
        初回設定(設定, kPhone);
        ctx.リストファイルパス = dir.filePath(QStringLiteral("list.ini"));
        mapSess.setErrorReporter([this](const KelvoError& e) { reported.push_back(e); });
    }

    // A message's summary: from a sender, received the given number of minutes from now
    // (negative: earlier), to the recipients.
    MailSummary summary(const QString& subject, double minutes = 0,
                        const QString& from = QStringLiteral("taro@example.jp"),
                        const QString& name = QStringLiteral("山田太郎"),
                        std::vector<MailRecipient> recipients = {}) {
        MailSummary s;
        s.subject = subject;
        s.origAddress = from;
        s.origDisplayName = name;
        s.received = clock.now().addMSecs(static_cast<qint64>(minutes * 60000));
        s.recipients = std::move(recipients);
        return s;
    }
    // Adds a message to me (one To recipient) to the Inbox.
    QString add(const QString& subject, double minutes,
                const QString& text = QStringLiteral("本文"),
                const QString& from = QStringLiteral("taro@example.jp"),
                const QString& name = QStringLiteral("山田太郎")) {
        return system.addMessage(summary(subject, minutes, from, name,
                                         {MailRecipient{kRecipTo, QStringLiteral("me@example.jp"),
                                                        QStringLiteral("Me")}}),
                                 text);
    }
    // A command mail from the phone, received now.
    QString command(const QString& subject, double minutes = 0) {
        return add(subject, minutes, QString(), kPhone, kPhone);
    }

    bool beginPass() { return パス開始(ctx); }
    void pass() { パス実行(ctx); }
    // Makes the message with this id current in a fresh unread fetch.
    void selectMessage(const QString& id) {
        for (int i = 0; i < mapMess.MsgCount(); ++i) {
            mapMess.setMsgIndex(i);
            if (mapMess.MsgID() == id)
                return;
        }
        FAIL() << "no message " << id.toStdString();
    }

    QStringList sentSubjects() const {
        QStringList out;
        for (const auto& s : system.outbox)
            out << s.mail.subject;
        return out;
    }
    QStringList monitorMessages() const {
        QStringList out;
        for (const QString& line : window.monitor)
            out << line.mid(QStringLiteral("   hh:mm    ").size());
        return out;
    }
    QStringList errorLines() const {
        QStringList out;
        for (const QString& m : monitorMessages())
            if (m.startsWith(QStringLiteral("エラー！")))
                out << m;
        return out;
    }

    QTemporaryDir dir;
    std::vector<KelvoError> reported;
};

} // namespace kelvo::test
