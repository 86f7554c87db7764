// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/new_mail_check.h"

#include "common/error_trap.h"
#include "engine/forward_mail.h"
#include "engine/forward_state.h"
#include "engine/forward_text.h"
#include "mail/core/mail_error.h"
#include "mail/mapi_messages.h"

#include <initializer_list>

namespace kelvo {

namespace {

enum class 取得結果 { 記録なし, 失敗, 成功 };

// The fetch this pass made, as 未読メール取得 recorded it.
取得結果 今回の取得(const EngineContext& ctx) {
    const 転送状態& st = ctx.状態.転送;
    if (!st.取得したパス.isValid() || st.取得したパス != ctx.状態.チェック開始時刻)
        return 取得結果::記録なし;
    return st.取得成功 ? 取得結果::成功 : 取得結果::失敗;
}

bool いずれか(const QString& s, std::initializer_list<const char16_t*> texts) {
    for (const char16_t* t : texts) {
        if (s == QStringView(t))
            return true;
    }
    return false;
}

void 終了コマンド(EngineContext& ctx) {
    MapiMessages& m = *ctx.mapMess;
    if (m.MsgDateReceived() < 受信時間枠(ctx)) {
        // An old command must not power off a PC that the user has just started.
        m.MsgNoteText();
        ctx.画面.モニター行追加(QStringLiteral("端末より「Z」の古いメールを受信→無視"), true);
        return;
    }
    ctx.状態.転送.終了要求.append(m.MsgID());
    m.MsgNoteText();
}

bool 一覧コマンドか(const QString& s) {
    return いずれか(s, {u"g", u"G", u"ｇ", u"Ｇ"});
}

bool 終了コマンドか(const QString& s) {
    return いずれか(s, {u"z", u"Z", u"ｚ", u"Ｚ"});
}

// List numbers from 1 to 100, separated by single blanks.
bool 番号コマンドか(const QString& s) {
    for (const QString& word : s.split(u' ')) {
        const double value = 数値(word);
        if (value > 100 || value < 1)
            return false;
    }
    return true;
}

QString 拒否理由(CommandVerdict verdict) {
    switch (verdict) {
    case CommandVerdict::Unverified:
        return QStringLiteral("送信者を確認できません");
    case CommandVerdict::Failed:
        return QStringLiteral("送信者の確認に失敗しました");
    case CommandVerdict::WrongPin:
        return QStringLiteral("暗証番号が違います");
    case CommandVerdict::Accepted:
        break;
    }
    return QString();
}

// Whether the command may act. A refused one changes nothing, is marked read like a command
// and gets one line; the phone gets no answer, so a forger learns nothing.
bool コマンド許可(EngineContext& ctx, const QString& s) {
    MapiMessages& m = *ctx.mapMess;
    const CommandVerdict verdict = m.MsgCommandVerdict(ctx.設定.メールアドレス);
    if (verdict == CommandVerdict::Accepted)
        return true;
    m.MsgNoteText();
    ctx.画面.モニター行追加(QStringLiteral("端末からのコマンドを拒否しました（") +
                            拒否理由(verdict) + QStringLiteral("）：件名「") + 一行化(s) +
                            QStringLiteral("」"));
    return false;
}

void コマンド確認(EngineContext& ctx, const QString& s) {
    RunState& r = ctx.状態;
    MapiMessages& m = *ctx.mapMess;
    const bool numbers = 番号コマンドか(s);
    // A mail that would act: the profile's rule must confirm its sender first.
    const bool acts = 一覧コマンドか(s) || 終了コマンドか(s) || numbers;
    if (acts && !コマンド許可(ctx, s))
        return;
    if (一覧コマンドか(s)) {
        r.返信アドレス = m.MsgOrigAddress();
        r.一覧要求フラグ = 1;
        m.MsgNoteText();
    } else if (終了コマンドか(s)) {
        終了コマンド(ctx);
    }
    r.要求番号 = s.split(u' ');
    r.メール要求フラグ = numbers ? 1 : 0;
    if (r.メール要求フラグ == 1) {
        r.返信アドレス = m.MsgOrigAddress();
        m.MsgNoteText();
    }
}

// The phone's address, without regard to letter case: the phone and its provider may write it
// in either case, and mail from the phone must never be forwarded back to it.
bool 端末のアドレス(const QString& text, const QString& phone) {
    return text.compare(phone, Qt::CaseInsensitive) == 0;
}

bool 送信不能の件名(const QString& subject) {
    for (const char16_t* word : {u"配信不能", u"Returned mail", u"Host unknown"}) {
        if (subject.contains(QStringView(word)))
            return true;
    }
    return subject.contains(u"送信") && (subject.contains(u"ｴﾗｰ") || subject.contains(u"エラー"));
}

// Whether the address book knows the sender. Any failure of the look-up counts as unknown.
bool アドレス帳にある(MapiMessages& m) {
    return エラー無視([&] {
        const QString name = m.MsgOrigDisplayName();
        m.Compose();
        m.setRecipDisplayName(name);
        m.ResolveName();
    });
}

bool 差出人一覧にある(const SettingsRecord& s, MapiMessages& m) {
    const QString address = m.MsgOrigAddress();
    const QString name = m.MsgOrigDisplayName();
    for (int p = 1; p <= 10; ++p) {
        const QString& entry = s.差出人アドレス(p);
        if (entry == address || entry == name)
            return true;
    }
    return false;
}

// Whether the mode skips the message: "1" skips what the rule does not list, "0" what it lists.
bool モードで除く(const QString& mode, bool listed) {
    return (mode == QLatin1String("1") && !listed) || (mode == QLatin1String("0") && listed);
}

// The forward failed: the message stays unread for the next pass, until the last try. Only a
// failure of the mail itself is a try; an outage of the server or the connection is not, so
// the mail goes out at the first pass after it, however long it lasts. False while it will be
// tried again.
bool 送信失敗(EngineContext& ctx, int i, const QString& id, const QString& subject,
              const KelvoError& error) {
    MapiMessages& m = *ctx.mapMess;
    エラー無視([&] {
        m.setMsgIndex(i);
        m.KeepUnread();
    });
    int& tries = ctx.状態.転送.送信失敗回数[id];
    if (!isOutage(error.number()))
        ++tries;
    if (tries < k送信試行上限)
        return false;
    ctx.画面.エラー行追加(QStringLiteral("件名「") + 一行化(subject) +
                              QStringLiteral("」は%1回転送できなかったため、未読のまま残し、"
                                             "これ以上転送しません")
                                  .arg(k送信試行上限),
                          error.number());
    return true;
}

// One message of the pass. False when the pass leaves work for a later one (a forward to try
// again, or the stop request).
bool 一通転送(EngineContext& ctx, int i, const QDateTime& cutOff) {
    const SettingsRecord& s = ctx.設定;
    RunState& r = ctx.状態;
    MapiMessages& m = *ctx.mapMess;

    m.setMsgIndex(i);
    const QString subject = m.MsgSubject();
    const QDateTime received = m.MsgDateReceived();
    // A mail naming two senders or subjects is ordinary mail, whatever it says.
    if (!m.MsgRepeatedFromOrSubject() && (端末のアドレス(m.MsgOrigAddress(), s.メールアドレス) ||
                                          端末のアドレス(m.MsgOrigDisplayName(), s.メールアドレス)))
        return true;
    if (received < cutOff)
        return true;
    if (送信不能の件名(subject))
        return true;
    if (!s.件名フィルタ.isEmpty() && subject.contains(s.件名フィルタ))
        return true;

    const QString id = m.MsgID();
    if (r.転送.送信失敗回数.value(id) >= k送信試行上限)
        return true; // given up
    // A message tried before was counted then.
    if (!r.転送.送信失敗回数.contains(id)) {
        ++r.新着メール数;
        計数パネル更新(ctx.画面, kPanel新着メール数, r.新着メール数);
    }

    if (isOn(s.アドレス帳フィルタ)) {
        if (モードで除く(s.アドレス帳モード, アドレス帳にある(m)))
            return true;
    }
    m.setMsgIndex(i); // back from the look-up's outgoing message
    if (isOn(s.差出人フィルタ) && モードで除く(s.差出人モード, 差出人一覧にある(s, m)))
        return true;

    if (r.停止要求フラグ != 0)
        return false;
    const std::optional<KelvoError> failure = メール転送(ctx, &r.転送.送信済み[id]);
    if (!failure) {
        r.転送.送信失敗回数.remove(id);
        r.転送.送信済み.remove(id);
        // Stored at once: a connection lost later in the pass must not send it again.
        エラー無視([&] {
            m.setMsgIndex(i);
            m.StoreReadMark();
        });
        return true;
    }
    return 送信失敗(ctx, i, id, subject, *failure);
}

} // namespace

bool 未読メール取得(EngineContext& ctx) {
    転送状態& st = ctx.状態.転送;
    st.取得したパス = ctx.状態.チェック開始時刻;
    // Like every step of the cycle, a failure does not end the pass; it is shown all the same,
    // since otherwise a server that broke off the fetch would look like an empty Inbox.
    // The mail server may leave out what this pass forwards none of: mail from before its
    // reach, except the phone's, whose commands count at any age.
    FetchScope scope;
    scope.reach = 取得の締切(ctx);
    scope.now = ctx.時計.now();
    scope.alsoFrom = ctx.設定.メールアドレス;
    scope.withoutAttachments = !isOn(ctx.設定.添付フラグ);
    st.欠けた受信箱.clear();
    st.見送った受信箱.clear();
    st.取得成功 = エラートラップ(ctx.画面, [&] {
        ctx.mapMess->setFetchUnreadOnly(true);
        ctx.mapMess->Fetch(scope);
    });
    if (st.取得成功) {
        // An account of several that could not be reached: the others' mail goes on, and its
        // own waits at the reach until it is back.
        QStringList waiting;
        for (const StoreDown& d : ctx.mapMess->StoresDown()) {
            st.欠けた受信箱 << d.account;
            // Only a person can mend it: the line is shown once, not at every pass.
            if (needsSignIn(d.error.number())) {
                waiting << d.account;
                if (st.サインイン待ちの受信箱.contains(d.account))
                    continue;
            }
            ctx.画面.エラー行追加(d.error.description(), d.error.number());
        }
        st.サインイン待ちの受信箱 = waiting;
        st.見送った受信箱 = ctx.mapMess->StoresLeftOut();
    }
    return st.取得成功;
}

void メールチェック(EngineContext& ctx) {
    ctx.状態.転送.終了要求.clear();
    if (今回の取得(ctx) == 取得結果::失敗)
        return;
    エラートラップ(ctx.画面, [&] {
        MapiMessages& m = *ctx.mapMess;
        const QString& phone = ctx.設定.メールアドレス;
        // Without a phone address no mail is a command (not even one without a sender).
        if (phone.isEmpty())
            return;
        // Oldest first (the fetch lists the newest first), so the newest command has the last
        // word: a phone mail that made no request stays unread and comes with every pass, and
        // must not undo the request of a mail the phone sent after it.
        for (int i = m.MsgCount() - 1; i >= 0; --i) {
            m.setMsgIndex(i);
            // Two From or Subject fields: which one is the sender or the command depends on
            // the reader, so it is none.
            if (m.MsgRepeatedFromOrSubject() || !端末のアドレス(m.MsgOrigAddress(), phone))
                continue;
            const QString s = m.MsgSubject();
            if (!s.isEmpty())
                コマンド確認(ctx, s);
        }
    });
}

void 自動転送(EngineContext& ctx) {
    const QDateTime start = チェック開始(ctx);
    const QDateTime cutOff = パスの締切(ctx);

    bool allDone = 今回の取得(ctx) != 取得結果::失敗;
    if (allDone) {
        MapiMessages& m = *ctx.mapMess;
        int count = 0;
        エラー無視([&] { count = m.MsgCount(); });
        for (int i = 0; i < count; ++i) {
            if (i >= m.MsgCount())
                break;
            bool done = false;
            エラー無視([&] {
                m.setMsgIndex(i);
                done = 一通転送(ctx, i, 受信箱のパスの締切(ctx, m.MsgAccount()));
            });
            allDone = allDone && done;
        }
    }
    // Until a pass has fetched and forwarded everything, later passes reach back as far as
    // this one did, so nothing that arrived meanwhile is too old for them.
    受信箱締切更新(ctx, allDone, cutOff);
    締切基準更新(ctx, allDone ? start : cutOff);
}

} // namespace kelvo
