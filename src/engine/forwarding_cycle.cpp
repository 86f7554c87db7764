// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/forwarding_cycle.h"

#include "common/error_trap.h"
#include "engine/cycle_window.h"
#include "engine/forward_state.h"
#include "engine/new_mail_check.h"
#include "engine/push_watch.h"
#include "engine/schedule.h"
#include "engine/session.h"
#include "engine/subject_list.h"
#include "mail/mapi_session.h"
#include "system/hang_up.h"
#include "system/power_off.h"
#include "system/program_launch.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvo {
namespace {

const QString kアドレス短い =
    QStringLiteral("転送先のメールアドレスが、正しくありません。\r\n入力してください。");
const QString kアットマーク無し =
    QStringLiteral("転送先のメールアドレスにアットマーク「 @ 」 が入力されていません。\r\n"
                   "正しいメールアドレスを入力してください。");

// The values one run of the loop keeps; a nested start has its own.
struct Loop {
    qint64 開始ms = 0; // monotonic, so a clock change never moves a due time
    double 間隔分 = 0; // check interval in minutes
    double 次回秒 = 0; // a pass is due once the elapsed seconds exceed it
    double 自動終了秒 = std::numeric_limits<double>::infinity();
    bool 即時接続 = false;
};

enum class PassEnd { Continue, ProgramEnded };

constexpr double kターン秒 = 2;
// However far off the next event is, an unseen loop turns at least once a day; with the schedule
// on, once a minute: its windows are on the local clock, which a wait does not follow across a
// suspend or a change of the clock.
constexpr qint64 k最多ターン = 24 * 3600 / 2;
constexpr qint64 kスケジュール確認ターン = 30;

// Marks a pass as under way for as long as it runs, however it ends.
struct PassMark {
    explicit PassMark(bool& flag) : 印(flag) { 印 = true; }
    ~PassMark() { 印 = false; }
    PassMark(const PassMark&) = delete;
    PassMark& operator=(const PassMark&) = delete;
    bool& 印;
};

// The accounts a pass looks at, for every sign-on of the pass (a send signs off and on again).
struct PassAccounts {
    PassAccounts(MapiSession& session, const QStringList& accounts) : session(session) {
        session.setAccounts(accounts);
    }
    ~PassAccounts() { session.setAccounts({}); }
    PassAccounts(const PassAccounts&) = delete;
    PassAccounts& operator=(const PassAccounts&) = delete;
    MapiSession& session;
};

qint64 経過秒(const CycleContext& c, const Loop& loop) {
    return (c.engine.時計.monotonicMs() - loop.開始ms) / 1000;
}

void パネル(CycleContext& c, const QString& key, const QString& text) {
    c.engine.画面.setPanelText(key, text);
}

void 計数パネル(CycleContext& c) {
    const RunState& st = c.engine.状態;
    パネル(c, kPanel新着メール数, QStringLiteral("新着メール数 :%1").arg(st.新着メール数));
    パネル(c, kPanel転送メール数, QStringLiteral("転送メール数 :%1").arg(st.転送メール数));
}

SystemContext システム環境(CycleContext& c) {
    EngineContext& e = c.engine;
    return SystemContext{c.システム, e.画面, e.待機, e.終了};
}

// The push connection is kept only while Kelvo waits inside a window on a line that stays up.
void プッシュ閉じる(CycleContext& c) {
    if (c.プッシュ)
        エラー無視([&] { c.プッシュ->閉じる(); });
}

// The push connection belongs to one run of forwarding: it ends with the run, whichever way the
// run ends (a road that ends Kelvo closes it on its way out).
class PushRun {
public:
    explicit PushRun(CycleContext& c) : c(c) {}
    ~PushRun() { プッシュ閉じる(c); }
    PushRun(const PushRun&) = delete;
    PushRun& operator=(const PushRun&) = delete;

private:
    CycleContext& c;
};

QString プロファイル(const SettingsRecord& s) {
    return isOn(s.プロファイル使用フラグ) ? s.プロファイル名 : QString();
}

// The phone address must be usable before anything starts. True when it is.
bool アドレス確認(CycleContext& c) {
    EngineContext& e = c.engine;
    QString message;
    if (e.設定.メールアドレス.size() < 8)
        message = kアドレス短い;
    else if (!c.主画面.携帯アドレス欄().contains(u'@'))
        message = kアットマーク無し;
    if (message.isEmpty())
        return true;
    e.画面.messageBox(message);
    c.主画面.携帯電話の設定表示();
    return false;
}

// The timed finish: "電源OFFフラグ" chooses between powering off and ending Kelvo alone. Nobody
// is there to answer a closing message, so none is shown.
void 自動終了(CycleContext& c) {
    EngineContext& e = c.engine;
    エラー無視([&] { 正常終了記録(e); });
    if (isOn(e.設定.電源OFFフラグ)) {
        電源OFF(システム環境(c), e.設定, e.状態.終了フラグ);
        return;
    }
    エラー無視([&] {
        e.画面.モニター行追加(QStringLiteral("自動終了の時間になりました。Kelvoを終了します。"));
        if (isOn(e.設定.ログ出力フラグ) && e.画面.モニター行数() > 0)
            e.画面.ログファイル書込(e.設定.ログファイルパス);
    });
    e.状態.終了フラグ = 1;
    e.終了.endProgram();
}

// due: the interval has run out (or the first pass is due at once); otherwise news started the
// pass, and of a profile that combines several accounts it looks at those the news came from
// alone, leaving the others and their interval as they are.
PassEnd パス(CycleContext& c, Loop& loop, bool due) {
    EngineContext& e = c.engine;
    RunState& st = e.状態;
    // The self-test must not fetch into the controls while the pass walks through them.
    const PassMark mark(st.パス実行中);
    loop.即時接続 = false;
    // The fetch below takes all mail so far; news from now on asks for one more pass.
    const bool 新着で = c.プッシュ && c.プッシュ->新着あり();
    QStringList 知らせた;
    if (c.プッシュ)
        知らせた = c.プッシュ->パス開始();
    const bool 一部 = !due && c.プッシュ && c.プッシュ->受信箱別() && !知らせた.isEmpty();
    st.チェック開始時刻 = e.時計.now();
    const PassAccounts accounts(*e.mapSess, 一部 ? 知らせた : QStringList());
    if (!ログオン(e)) {
        // Nothing was fetched: later passes reach back as far as this one would have.
        エラー無視([&] {
            未完了パス記録(e);
            転送状態保存(e);
        });
        if (一部)
            // The next turn looks at every account, and says which cannot be reached.
            loop.次回秒 = std::min(loop.次回秒, static_cast<double>(経過秒(c, loop)));
        else if (st.サインイン待ち || st.サインオン拒否)
            // Trying again in 2 s cannot help before a person signs in or mends the password,
            // and a server locks an account that keeps trying a wrong one: the next pass comes
            // at the interval.
            loop.次回秒 = static_cast<double>(経過秒(c, loop)) + 60.0 * loop.間隔分;
        else if (新着で)
            // As when the interval has run out: the next turn tries again.
            loop.次回秒 = std::min(loop.次回秒, static_cast<double>(経過秒(c, loop)));
        return PassEnd::Continue;
    }
    パネル(c, kPanel次の接続まで, QStringLiteral("メールチェック中"));
    エラー無視([&] { 未読メール取得(e); });
    if (c.プッシュ)
        エラー無視(
            [&] { c.プッシュ->サインオン成功(st.転送.欠けた受信箱 + st.転送.見送った受信箱); });
    エラー無視([&] { メールチェック(e); });
    エラー無視([&] { 自動転送(e); });
    エラー無視([&] { 未完了パス記録(e); }); // when the forwarding broke off before its end
    if (st.一覧要求フラグ == 1) {
        エラー無視([&] { 一覧取得(e); });
        st.一覧要求フラグ = 0;
    }
    if (st.メール要求フラグ == 1) {
        エラー無視([&] { 特定メール取得(e); });
        st.メール要求フラグ = 0;
    }
    エラー無視([&] { 終了時ログオフ(e); });
    // The phone's finish command counts only once its mail is marked read in the mailbox.
    エラー無視([&] { 終了要求確定(e); });
    エラー無視([&] { 転送状態保存(e); });

    const bool ダイヤルアップ = isOn(e.設定.ダイヤルアップフラグ);
    if (st.終了フラグ == 1) {
        エラー無視(
            [&] { e.画面.モニター行追加(QStringLiteral("端末より「Z」のメールを受信→電源OFF")); });
        if (ダイヤルアップ) {
            回線切断シーケンス(c);
            e.待機.wait(10);
        }
        if (isOn(e.設定.端末プログラム実行)) {
            エラートラップ(e.画面, [&] { funcプログラム実行(c.システム, e.設定); });
            // Done with this command: later passes and a later close behave as usual.
            st.終了フラグ = 0;
        } else {
            エラー無視([&] { 正常終了記録(e); });
            電源OFF(システム環境(c), e.設定, st.終了フラグ);
            return PassEnd::ProgramEnded;
        }
    }
    if (ダイヤルアップ)
        回線切断シーケンス(c);
    e.待機.wait(3);
    パネル(c, kPanel次の接続まで, QStringLiteral("メールチェック終了"));
    if (!一部)
        loop.次回秒 = static_cast<double>(経過秒(c, loop)) + 60.0 * loop.間隔分;
    return PassEnd::Continue;
}

// The turns from now (one at least) up to the first that comes `ms` from now or later.
qint64 ターン数(qint64 ms) {
    const qint64 turnMs = static_cast<qint64>(kターン秒 * 1000);
    return std::clamp<qint64>((ms + turnMs - 1) / turnMs, 1, k最多ターン);
}

// The turns from now to the first at which the loop's elapsed whole seconds exceed `limit`.
qint64 経過ターン数(const CycleContext& c, const Loop& loop, double limit) {
    const double leftMs = (std::floor(limit) + 1) * 1000.0 -
                          static_cast<double>(c.engine.時計.monotonicMs() - loop.開始ms);
    if (!(leftMs < static_cast<double>(k最多ターン) * kターン秒 * 1000.0))
        return k最多ターン; // the timed finish that never comes, too
    return ターン数(static_cast<qint64>(std::ceil(leftMs)));
}

// How many turns nobody would see: up to the first at which a pass falls due, a schedule window
// opens or closes, the timed finish comes or the push connection has something to do. Waiting
// them out in one wait keeps every such moment at the turn it has while the window is seen.
qint64 見えないターン数(CycleContext& c, const Loop& loop, const PushWatch* push) {
    const EngineContext& e = c.engine;
    const bool 稼動中 = e.状態.スケジュール状態 == kスケジュール稼動中;
    if (稼動中 && loop.即時接続)
        return 1;
    qint64 turns = 経過ターン数(c, loop, loop.自動終了秒);
    if (稼動中)
        turns = std::min(turns, 経過ターン数(c, loop, loop.次回秒));
    if (isOn(e.設定.スケジュールフラグ)) {
        turns = std::min(turns, kスケジュール確認ターン);
        if (const auto ms = c.スケジュール.次の変わり目ms(e.状態.スケジュール状態))
            turns = std::min(turns, ターン数(*ms));
    }
    if (push && 稼動中 && !isOn(e.設定.ダイヤルアップフラグ))
        if (const auto ms = push->次の用事ms())
            turns = std::min(turns, ターン数(*ms));
    return turns;
}

// The wait at the top of each turn. While the window is seen it is one turn, so that the
// countdown moves; unseen, the turns at which nothing is due pass in one wait, which news, the
// stop command and the window shown again end early.
void ターン待ち(CycleContext& c, const Loop& loop, PushWatch* push) {
    Waiter& waiter = c.engine.待機;
    if (push && push->新着あり())
        return; // the pass runs at once
    if (!c.主画面.ウィンドウが見えている())
        waiter.wakeableWait(kターン秒 * static_cast<double>(見えないターン数(c, loop, push)));
    else if (push)
        waiter.wakeableWait(kターン秒);
    else
        waiter.wait(kターン秒);
}

} // namespace

void 回線切断シーケンス(CycleContext& c) {
    EngineContext& e = c.engine;
    プッシュ閉じる(c);
    const QString steps[] = {QStringLiteral("回線切断まで３０秒"),
                             QStringLiteral("回線切断まで２０秒"),
                             QStringLiteral("回線切断まで１０秒")};
    for (const QString& text : steps) {
        パネル(c, kPanel次の接続まで, text);
        e.待機.wait(10);
    }
    パネル(c, kPanel次の接続まで, QStringLiteral("回線を切断"));
    エラー無視(
        [&] { 回線切断(static_cast<int>(数値(e.設定.ダイヤルアップフラグ)), c.システム, e.待機); });
    パネル(c, kPanel次の接続まで, QStringLiteral("切断終了"));
    e.画面.モニター行追加(QStringLiteral("回線を切断"), false);
}

void 自動転送開始(CycleContext& c) {
    EngineContext& e = c.engine;
    SettingsRecord& s = e.設定;
    RunState& st = e.状態;
    Loop loop;

    QString problem;
    エラー無視([&] { 設定読込(s, e.設定ディレクトリ, &problem); });
    if (!problem.isEmpty())
        e.画面.エラー行追加(problem, errnum::InvalidFormat);
    loop.即時接続 = isOn(s.同時接続フラグ);
    st.計数リセット();
    st.サインイン待ち = false; // a new start shows the sign-in line again
    if (!アドレス確認(c))
        return;
    計数パネル(c);
    パネル(c, kPanel次の接続まで, QStringLiteral("スタート "));
    loop.開始ms = e.時計.monotonicMs();
    if (isOn(s.スケジュールフラグ)) {
        c.スケジュール.曜日フラグ作成(s);
        c.スケジュール.スケジュール作成(s, e.時計.now());
        st.スケジュール状態 = kスケジュール停止中;
    } else {
        st.スケジュール状態 = kスケジュール稼動中;
    }
    loop.間隔分 = 数値(s.メールチェック間隔);
    if (isOn(s.自動終了フラグ)) {
        const double hours = 数値(s.切断時間);
        if (hours > 0)
            loop.自動終了秒 = 3600.0 * hours;
        else
            e.画面.モニター行追加(
                QStringLiteral("自動終了の時間が0時間のため、自動終了はしません。"));
    }
    st.停止要求フラグ = 0;
    loop.次回秒 = 60.0 * loop.間隔分;
    転送状態リセット(e);
    if (c.プッシュ)
        エラー無視([&] { c.プッシュ->開始(プロファイル(s)); });
    const PushRun 区間(c);
    c.主画面.ウィンドウの最小化();
    c.主画面.実行モード();

    PushWatch* const push = c.プッシュ && c.プッシュ->有効() ? c.プッシュ : nullptr;
    while (st.停止要求フラグ == 0) {
        ターン待ち(c, loop, push);
        bool 知らせ = false;
        if (isOn(s.スケジュールフラグ))
            エラー無視([&] { c.スケジュール.スケジュール状態更新(st.スケジュール状態); });
        if (push) {
            // Never with dial-up: the line is hung up between passes.
            if (st.スケジュール状態 == kスケジュール稼動中 && !isOn(s.ダイヤルアップフラグ))
                エラー無視([&] { push->待機中(); });
            else
                プッシュ閉じる(c);
            // News starts the next pass as if the interval had run out; of accounts of
            // several, a pass over them alone.
            if (push->新着あり() && push->受信箱別())
                知らせ = true;
            else if (push->新着あり())
                loop.即時接続 = true;
        }
        if (st.スケジュール状態 == kスケジュール稼動中) {
            パネル(c, kPanel次の接続まで,
                   QStringLiteral("次の接続まで ") + 時間表示(loop.次回秒 - 経過秒(c, loop)));
            const bool due = 経過秒(c, loop) > loop.次回秒 || loop.即時接続;
            if (due || 知らせ) {
                if (パス(c, loop, due) == PassEnd::ProgramEnded)
                    return;
            }
        } else if (const auto next = c.スケジュール.次の開始秒()) {
            パネル(c, kPanel次の接続まで,
                   QStringLiteral("あと ") +
                       時間表示(static_cast<double>(*next - c.スケジュール.経過秒())));
        } else {
            パネル(c, kPanel次の接続まで, QStringLiteral("現在待機中"));
            エラー無視([&] { c.スケジュール.スケジュール再作成(s); });
        }
        if (static_cast<double>(経過秒(c, loop)) > loop.自動終了秒) {
            自動終了(c);
            return;
        }
        e.待機.processEvents();
    }
    エラー無視([&] { 正常終了記録(e); });
    パネル(c, kPanel次の接続まで, QStringLiteral("停止しました。"));
}

} // namespace kelvo
