// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The four tests of the self-test dialog.
#include "selftest/self_test_dialog.h"

#include "common/error_trap.h"
#include "engine/cycle_window.h"
#include "engine/engine_context.h"
#include "engine/forward_compose.h"
#include "engine/forward_mail.h"
#include "engine/session.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "system/hang_up.h"
#include "system/power_off.h"

#include <optional>

namespace kelvo {
namespace {

const QString kキャンセル = QStringLiteral("テストはキャンセルされました。");
const QString kMAPI設定 = QStringLiteral("メールソフトのMAPIの設定が正しいことを確認してください");

constexpr int kMinimumAddressLength = 8;

// Runs a step under the error trap: a failure becomes one error line and is returned.
template <typename Work> std::optional<KelvoError> 試行(WindowPort& window, Work&& work) {
    std::optional<KelvoError> failure;
    const bool done = エラートラップ(window, [&] {
        try {
            work();
        } catch (const KelvoError& e) {
            failure = e;
            throw;
        } catch (const std::exception& e) {
            failure = KelvoError(errnum::Unknown, QString::fromLocal8Bit(e.what()));
            throw;
        }
    });
    if (done)
        return std::nullopt;
    if (!failure)
        failure = KelvoError(errnum::Unknown, QStringLiteral("不明なエラー"));
    return failure;
}

} // namespace

void SelfTestDialog::新着メールチェックテスト() {
    if (!確認(QStringLiteral("新着メールをチェック") + kCRLF +
              QStringLiteral("できることを確認しますか？")))
        return;
    パネル(QStringLiteral("テスト開始"));
    // A person is here: the one moment to sign in (browser or password) when nothing stored works.
    if (c.サインイン && 試行(c.engine.画面, c.サインイン)) {
        お知らせ(QStringLiteral("ログオン失敗!") + kCRLF + kMAPI設定);
        return;
    }
    // Signed on stays signed on: the next pass or the end of Kelvo signs off.
    if (ログオン(c.engine)) {
        パネル(QStringLiteral("新着メールのチェック に 成功"));
        お知らせ(QStringLiteral("メールチェックを 自動 で行うことができた場合、成功です。"));
    } else {
        お知らせ(QStringLiteral("ログオン失敗!") + kCRLF + kMAPI設定);
    }
}

void SelfTestDialog::メール転送テスト() {
    if (!確認(QStringLiteral("メール転送のテストを行います。"))) {
        お知らせ(kキャンセル);
        return;
    }
    EngineContext& e = c.engine;
    MapiSession& sess = *e.mapSess;
    MapiMessages& mess = *e.mapMess;

    QString subject;
    const auto inboxFailure = 試行(e.画面, [&] {
        // The test works on what the Inbox holds: nothing is downloaded first.
        sess.setDownLoadMail(false);
        sess.setLogonUI(false);
        if (isOn(e.設定.プロファイル使用フラグ))
            sess.setUserName(e.設定.プロファイル名);
        パネル(QStringLiteral("受信ﾄﾚｲへ接続中・・・"));
        if (sess.SessionID() == 0) {
            // A refused sign-on is told as no connection just below; its reason goes to
            // the monitor.
            エラートラップ(e.画面, [&] { sess.SignOn(); });
            sess.setNewSession(true);
        }
        if (sess.SessionID() == 0)
            お知らせ(QStringLiteral("メールソフトへの接続失敗！") + kCRLF + kMAPI設定);
        sess.setNewSession(true);
        mess.setSessionID(sess.SessionID());
        パネル(QStringLiteral("受信ﾄﾚｲ に ｱｸｾｽ成功"));
        // Read and unread alike: the test needs one message, whichever it is.
        mess.setFetchUnreadOnly(false);
        mess.Fetch();
        // Every account of a combining profile must answer: the test stops naming the first
        // that did not, and the monitor shows the others.
        const std::vector<StoreDown>& down = mess.StoresDown();
        for (size_t i = 1; i < down.size(); ++i)
            e.画面.エラー行追加(down[i].error.description(), down[i].error.number());
        if (!down.empty())
            throw down.front().error;
        パネル(QStringLiteral("受信ﾄﾚｲ のﾒｯｾｰｼﾞ取得成功 "));
        mess.setMsgIndex(0);
        subject = mess.MsgSubject();
    });
    if (inboxFailure) {
        転送テスト中止(inboxFailure->description(), inboxFailure->number());
        return;
    }

    const QString& address = e.設定.メールアドレス;
    if (!確認(QStringLiteral("テストで件名「") + subject + QStringLiteral("」のﾒｯｾｰｼﾞを") + kCRLF +
              QStringLiteral("ﾒｰﾙｱﾄﾞﾚｽ「") + address + QStringLiteral("」へ転送します。")))
        return;
    if (address.size() < kMinimumAddressLength) {
        携帯電話の設定へ(QStringLiteral("転送先のメールアドレスが、正しくありません。") + kCRLF +
                         QStringLiteral("入力してください。"));
        return;
    }
    if (!c.主画面.携帯アドレス欄().contains(u'@')) {
        携帯電話の設定へ(
            QStringLiteral("転送先のメールアドレスにアットマーク「 @ 」 が入力されていません。") +
            kCRLF + QStringLiteral("正しいメールアドレスを入力してください。"));
        return;
    }
    // The message shown above is still the current one.
    if (const auto failure = メール転送(e)) {
        転送テスト中止(failure->description(), failure->number());
        return;
    }
    お知らせ(QStringLiteral("転送処理は完了しました。") + kCRLF +
             QStringLiteral("送信処理が自動で実行できたこと　及び転送メールの内容が正しいこと　") +
             kCRLF + QStringLiteral("が確認できればOKです。"));
}

void SelfTestDialog::携帯電話の設定へ(const QString& reason) {
    お知らせ(reason);
    done(QDialog::Rejected);
    c.主画面.携帯電話の設定表示();
}

void SelfTestDialog::転送テスト中止(const QString& description, int number) {
    パネル(QStringLiteral("テスト中止"));
    お知らせ(QStringLiteral("メール転送のテストを中止しました。") + kCRLF +
             エラーメッセージ(description, number));
}

void SelfTestDialog::回線切断テスト() {
    const QStringList question{
        QStringLiteral("ダイヤルアップユーザー向け自動転送システムのテストを行います。"),
        QStringLiteral("メールソフトの設定で「送受信を終了したら回線を切断する」のチェックを"
                       "ＯＦＦにし、"),
        QStringLiteral("メールソフトの「送受信」コマンドを実行し、メールサーバーと接続した状態に"
                       "してください。"),
        QStringLiteral("準備ができたら「ＯＫ」ボタンを押してください。"),
        QStringLiteral("本ソフトが回線を切断します。"
                       "一時的にダイヤルアップネットワークのwindowが立ちあがりますが"
                       "そのままお待ち下さい。"),
    };
    // The text asks for "ＯＫ"; the box has Yes and No, and Yes goes on.
    if (!確認(question.join(kCRLF))) {
        お知らせ(kキャンセル);
        return;
    }
    EngineContext& e = c.engine;
    エラー無視([&] { 回線切断(1, c.システム, e.待機); });
    // Whether the line went down is for the user to see; every line ends with a break.
    const QStringList closing{
        QStringLiteral("回線は切断されましたか？"),
        QStringLiteral(
            "切断できた場合は、基本的にダイヤルアップ自動転送システムを使用できますが、"),
        QStringLiteral("本ソフトがもし回線の切断に失敗した場合、サーバーとの回線は、"
                       "接続状態のまま　になってしまいます。"),
        QStringLiteral("そのようなことになった場合でも､作者は一切の責任を負いません｡"),
        QStringLiteral("このことに同意できる方のみ使用してください。"),
    };
    お知らせ(closing.join(kCRLF) + kCRLF);
}

void SelfTestDialog::電源OFFテスト() {
    const QStringList question{
        QStringLiteral("テストでパソコンの電源OFFが実行可能なことを確認します。"),
        QStringLiteral("他の起動中のアプリケーションは、すべて終了してください。"),
        QStringLiteral("約２０秒後に電源を切ります。"),
        QStringLiteral("準備ができたら「ＯＫ」ボタンを押してください。"),
        QStringLiteral("３０秒経過しても電源OFFできなかった場合、本ソフトより"),
        QStringLiteral("電源OFFはできませんのでご了承ください"),
    };
    if (!確認(question.join(kCRLF))) {
        お知らせ(kキャンセル);
        return;
    }
    EngineContext& e = c.engine;
    // Does not come back in the running program: the program ends there.
    電源OFF(SystemContext{c.システム, e.画面, e.待機, e.終了}, e.設定, e.状態.終了フラグ);
}

} // namespace kelvo
