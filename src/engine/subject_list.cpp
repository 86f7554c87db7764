// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/subject_list.h"

#include "common/cp932.h"
#include "common/error_trap.h"
#include "engine/engine_errors.h"
#include "engine/forward_compose.h"
#include "engine/forward_mail.h"
#include "engine/forward_text.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "settings/ini_file.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <vector>

namespace kelvo {

namespace {

// The requests sign on without fetching new mail and list every Inbox message, read or not: of
// every account, also those the pass left out.
void 要求用サインオン(EngineContext& ctx) {
    MapiSession& sess = *ctx.mapSess;
    sess.setDownLoadMail(false);
    if (isOn(ctx.設定.プロファイル使用フラグ))
        sess.setUserName(ctx.設定.プロファイル名);
    if (sess.SessionID() == 0) {
        sess.SignOn();
        sess.setNewSession(true);
        return;
    }
    for (const StoreDown& d : sess.SignOnRest())
        ctx.画面.エラー行追加(d.error.description(), d.error.number());
}

void 全メール取得(EngineContext& ctx, const FetchScope& scope = {}) {
    MapiMessages& m = *ctx.mapMess;
    m.setSessionID(ctx.mapSess->SessionID());
    m.setFetchUnreadOnly(false);
    m.Fetch(scope);
}

// An identifier that list.ini gives back unchanged: one line, no blanks at its ends, short
// enough for the read primitive.
bool リストに書ける(const QString& id) {
    return !id.isEmpty() && id == 一行化(id) && id.trimmed() == id && バイト長(id) <= 255;
}

void リスト書込(EngineContext& ctx, qint64 number, const QString& id) {
    if (!リストに書ける(id))
        throw KelvoError(engerr::InvalidArgument,
                         QStringLiteral("一覧に書けないMsgIDです：") + 一行化(id));
    QString error;
    if (!INI書込(kリストセクション, リストキー(static_cast<double>(number)), id,
                 ctx.リストファイルパス, &error))
        throw KelvoError(errnum::DeviceIo, error);
}

// Kelvo ends every line of list.ini. A file that ends inside a line was cut short (a crash
// of another program, a full disk): its last value may be cut too and name another message,
// so the list is not used until the next list rewrites it.
void 途切れ確認(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return;
    file.seek(file.size() - 1);
    if (file.read(1) != "\n")
        throw KelvoError(engerr::FileCut,
                         QDir::toNativeSeparators(path) +
                             QStringLiteral("：一覧のファイルが途中で切れているため、"
                                            "「G」で一覧を取り直してください"));
}

} // namespace

QString リストキー(double number) {
    return QStringLiteral("件名") + 全角化(QString::number(number, 'g', 15));
}

void 一覧取得(EngineContext& ctx) {
    エラートラップ(ctx.画面, [&] {
        要求用サインオン(ctx);
        const SettingsRecord& s = ctx.設定;
        const double listed = 数値(s.リスト取得数);
        // Only the listed mail is read; the others are counted.
        FetchScope scope;
        scope.newest = static_cast<int>(std::clamp(std::ceil(listed), 1.0, 1.0e6));
        全メール取得(ctx, scope);
        MapiMessages& m = *ctx.mapMess;
        const qint64 width = 整数値(s.端末1行文字数);
        const qint64 limit = 整数値(数値(s.分割文字数) * 2);

        QStringList pages{QString()};
        qint64 total = 0;
        for (int i = 0; i < m.MsgCount() && i < listed; ++i) {
            m.setMsgIndex(i);
            リスト書込(ctx, i + 1, m.MsgID());
            // Subject and name stay one line each, or the phone would read more entries.
            const QString entry = QString::number(i + 1) + 先頭文字(一行化(m.MsgSubject()), width) +
                                  kCRLF + 一行化(m.MsgOrigDisplayName()) + kCRLF;
            // An entry counts as one phone line at most.
            total += バイト長(バイト数で切る(entry, 2 * width));
            pages.last() += entry;
            if (total >= limit) {
                if (pages.size() >= k最大ページ数)
                    throw engerr::tableFull(QStringLiteral("一覧のページ数"));
                pages.append(QString());
                total = 0;
            }
        }

        const QString n = QString::number(m.MsgCount());
        for (const QString& page : pages) {
            m.Compose();
            m.setMsgSubject(QStringLiteral("一覧") + n);
            m.setMsgNoteText(page);
            宛先設定(ctx, ctx.状態.返信アドレス, QStringLiteral("一覧"));
            m.Send();
            送信後処理(ctx);
            ctx.画面.モニター行追加(QStringLiteral("一覧") + n + QStringLiteral("   ") +
                                        QStringLiteral("  を送信完了"),
                                    true);
            ctx.待機.wait(3);
        }
    });
}

void 特定メール取得(EngineContext& ctx) {
    エラートラップ(ctx.画面, [&] {
        要求用サインオン(ctx);
        途切れ確認(ctx.リストファイルパス);
        // The MsgID listed under each requested number; a number list.ini lacks finds nothing.
        std::vector<QString> wanted;
        for (const QString& word : ctx.状態.要求番号) {
            if (static_cast<qsizetype>(wanted.size()) >= k要求表の大きさ)
                throw engerr::tableFull(QStringLiteral("要求番号"));
            wanted.push_back(INI読込(kリストセクション, リストキー(数値(word)), QString(),
                                     ctx.リストファイルパス));
        }
        FetchScope scope;
        scope.withoutAttachments = !isOn(ctx.設定.添付フラグ);
        全メール取得(ctx, scope);
        MapiMessages& m = *ctx.mapMess;
        for (int i = 0; i < m.MsgCount(); ++i) {
            m.setMsgIndex(i);
            const QString id = m.MsgID();
            for (const QString& w : wanted) {
                if (w.isEmpty() || w != id)
                    continue;
                m.setMsgIndex(i);
                ctx.画面.モニター行追加(QStringLiteral("要求より件名「") + 一行化(m.MsgSubject()) +
                                            QStringLiteral("」 を転送します。"),
                                        true);
                // Reading the text marked the mail read; one that the forwarding is still
                // trying (or gave up) must stay unread as it would without the request.
                if (メール転送(ctx) && ctx.状態.転送.送信失敗回数.contains(id)) {
                    エラー無視([&] {
                        m.setMsgIndex(i);
                        m.KeepUnread();
                    });
                }
            }
        }
    });
}

} // namespace kelvo
