// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/forward_mail.h"

#include "common/cp932.h"
#include "common/error_trap.h"
#include "engine/forward_compose.h"
#include "engine/forward_text.h"
#include "engine/session.h"
#include "mail/core/mail_types.h"
#include "mail/mapi_messages.h"

#include <QCryptographicHash>
#include <algorithm>
#include <array>
#include <vector>

namespace kelvo {

namespace {

void 転送終了行(EngineContext& ctx, const QString& line) {
    ctx.画面.モニター行追加(line, true);
}

// Sends the outgoing message as it stands, then the follow-up every sent mail gets.
void 送信(EngineContext& ctx, const QString& subject, const QString& text,
          const QString& destination, const QString& senderName) {
    MapiMessages& m = *ctx.mapMess;
    m.setMsgSubject(subject);
    m.setMsgNoteText(text);
    宛先設定(ctx, destination, senderName);
    m.Send();
    送信後処理(ctx);
}

// One mail of a forward as it goes out, with its monitor line.
struct 一通 {
    QString 件名;
    QString 本文;
    QString 終了行;
    bool 待つ前に行 = false; // the first of several parts shows its line before the wait
};

QByteArray 指紋(const 一通& mail) {
    return QCryptographicHash::hash((mail.件名 + u'\n' + mail.本文).toUtf8(),
                                    QCryptographicHash::Sha256);
}

// How many of the mails went out at an earlier try: those are not sent again when the retry
// would send the very same mails to the same address; anything else starts the record afresh.
qsizetype 送信済みの数(送信記録& record, const QString& destination,
                       const std::vector<一通>& mails) {
    QList<QByteArray> prints;
    for (const 一通& mail : mails)
        prints.append(指紋(mail));
    if (record.宛先 == destination && record.指紋 == prints)
        return std::min<qsizetype>(record.送信済み, static_cast<qsizetype>(mails.size()));
    record = 送信記録{destination, prints, 0};
    return 0;
}

void 転送本体(EngineContext& ctx, 送信記録* record) {
    const SettingsRecord& s = ctx.設定;
    MapiMessages& m = *ctx.mapMess;

    const QString destination = 転送先(ctx);
    const QString senderName = m.MsgOrigDisplayName();
    const QString subject = m.MsgSubject();
    const QDateTime received = m.MsgDateReceived();
    const QString body = m.MsgNoteText();
    const int attachments = m.AttachmentCount();
    // What goes into header fields, header lines and monitor lines stays on one line.
    const QString shownSubject = 一行化(subject);
    const QString shownName = 一行化(senderName);

    QString attachmentLine, senderLine, ccLine, toLine;
    if (attachments >= 1)
        attachmentLine = QStringLiteral("添付ファイル数：") + QString::number(attachments) + kCRLF;
    if (isOn(s.差出人フラグ))
        senderLine = u'<' + 一行化(m.MsgOrigAddress()) + u'>' + kCRLF;
    if (isOn(s.CCフラグ)) {
        const QString cc = 受信者一覧(ctx, kRecipCc);
        if (!cc.isEmpty())
            ccLine = QStringLiteral(" CC: ") + cc;
    }
    if (isOn(s.宛先フラグ))
        toLine = QStringLiteral(" 宛先: ") + 受信者一覧(ctx, kRecipTo);

    const QStringList lines = 本文行(body);
    if (isOn(s.添付フラグ) && attachments >= 1)
        m.Forward();
    else
        m.Compose();

    const QString header = QStringLiteral("From") + shownName + kCRLF + 受信日時(received) +
                           kCRLF + senderLine + toLine + ccLine + attachmentLine +
                           QStringLiteral(" ") + kCRLF;
    const qint64 limit = 整数値(数値(s.分割文字数) * 2);
    const bool noBreaks = isOn(s.改行フラグ);

    QStringList parts;
    if (!isOn(s.自動分割フラグ) && バイト長(header + body) > limit)
        parts = 分割(lines, limit - バイト長(header), limit, 整数値(s.最大分割数),
                     noBreaks ? QString() : kCRLF);

    std::vector<一通> mails;
    if (parts.isEmpty()) {
        mails.push_back({shownSubject, header + 分割なし本文(lines, noBreaks),
                         QStringLiteral("件名「") + shownSubject + QStringLiteral("」 を転送終了")});
    } else {
        const QString total = QString::number(parts.size());
        for (qsizetype n = 1; n <= parts.size(); ++n) {
            const QString number = QString::number(n);
            const QString line = QStringLiteral("件名「") + shownSubject +
                                 QStringLiteral("」の") + number + u'/' + total +
                                 QStringLiteral("を転送終了");
            if (n == 1)
                mails.push_back({QStringLiteral("1/") + total + u'_' + shownSubject,
                                 header + parts[0], line, true});
            else
                mails.push_back({number + u'/' + total + u'_' + 先頭文字(shownSubject, 6),
                                 parts[n - 1], line});
        }
    }

    const qsizetype first = record ? 送信済みの数(*record, destination, mails) : 0;
    for (qsizetype k = first; k < static_cast<qsizetype>(mails.size()); ++k) {
        const 一通& mail = mails[static_cast<size_t>(k)];
        // Later parts never carry the attachments.
        if (k > 0)
            m.Compose();
        送信(ctx, mail.件名, mail.本文, destination, shownName);
        if (record)
            ++record->送信済み;
        if (mail.待つ前に行)
            転送終了行(ctx, mail.終了行);
        ctx.待機.wait(3);
        if (!mail.待つ前に行)
            転送終了行(ctx, mail.終了行);
    }
}

} // namespace

std::optional<KelvoError> メール転送(EngineContext& ctx, 送信記録* 記録) {
    std::optional<KelvoError> failure;
    const bool done = エラートラップ(ctx.画面, [&] {
        try {
            転送本体(ctx, 記録);
        } catch (const KelvoError& e) {
            failure = e;
            throw;
        }
    });
    if (!done && !failure)
        failure = KelvoError(errnum::Unknown, QStringLiteral("不明なエラー"));
    return failure;
}

QString 受信者一覧(EngineContext& ctx, int kind) {
    MapiMessages& m = *ctx.mapMess;
    QStringList names;
    const int count = m.RecipCount();
    for (int r = 0; r < count; ++r) {
        m.setRecipIndex(r);
        if (m.RecipType() == kind)
            names.append(一行化(m.RecipDisplayName()));
    }
    return names.isEmpty() ? QString() : names.join(QStringLiteral("; ")) + kCRLF;
}

QString 転送先(EngineContext& ctx) {
    const SettingsRecord& s = ctx.設定;
    MapiMessages& m = *ctx.mapMess;
    // A message without recipients, or a rule without an account address, fits no rule.
    if (!isOn(s.アカウントフィルタ) || m.RecipCount() == 0)
        return s.メールアドレス;
    const QString name = m.RecipDisplayName();
    const QString address = m.RecipAddress();
    const std::array<const QString*, 3> on{&s.アカウント1, &s.アカウント2, &s.アカウント3};
    const std::array<const QString*, 3> account{&s.宛先1, &s.宛先2, &s.宛先3};
    const std::array<const QString*, 3> target{&s.転送1, &s.転送2, &s.転送3};
    for (size_t n = 0; n < on.size(); ++n) {
        const QString& a = *account[n];
        if (isOn(*on[n]) && !a.isEmpty() && (a == name || a == address))
            return *target[n];
    }
    return s.メールアドレス;
}

void 宛先設定(EngineContext& ctx, const QString& address, const QString& displayName) {
    MapiMessages& m = *ctx.mapMess;
    if (isOn(ctx.設定.プロファイル使用フラグ)) {
        m.setRecipDisplayName(address);
    } else {
        m.setRecipAddress(address);
        m.setRecipDisplayName(displayName);
    }
}

void 送信後処理(EngineContext& ctx) {
    if (isOn(ctx.設定.プロファイル使用フラグ)) {
        ログオフ(ctx);
        ログオン(ctx);
    }
    ++ctx.状態.転送メール数;
    計数パネル更新(ctx.画面, kPanel転送メール数, ctx.状態.転送メール数);
}

} // namespace kelvo
