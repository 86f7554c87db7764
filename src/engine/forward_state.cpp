// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/forward_state.h"

#include "common/error_trap.h"
#include "engine/engine_context.h"
#include "engine/engine_errors.h"
#include "mail/mapi_messages.h"
#include "settings/ini_file.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

namespace kelvo {

namespace {

const QString k状態セクション = QStringLiteral("転送状態");
const QString k締切キー = QStringLiteral("最終完了チェック");
const QString k正常終了キー = QStringLiteral("正常終了");
// Accounts behind the others: "account=seconds" separated by blanks (accounts are written
// percent-encoded, without either).
const QString k受信箱キー = QStringLiteral("受信箱別締切");
constexpr qint64 k最長遡及秒 = 24 * 60 * 60;

// A saved reach of the state file, as a start may use it. A time in the future (a clock set back)
// is no reach at all.
std::optional<QDateTime> 使える締切(const EngineContext& ctx, qint64 secs) {
    const QDateTime now = ctx.時計.now();
    const QDateTime saved = QDateTime::fromSecsSinceEpoch(secs);
    if (saved > now)
        return std::nullopt;
    return std::max(saved, now.addSecs(-k最長遡及秒));
}

std::optional<QDateTime> 保存した締切基準(const EngineContext& ctx) {
    const QString path = 状態ファイルパス(ctx);
    if (path.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 secs = INI読込(k状態セクション, k締切キー, QString(), path).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return 使える締切(ctx, secs);
}

QHash<QString, QDateTime> 保存した受信箱の締切(const EngineContext& ctx) {
    QHash<QString, QDateTime> out;
    const QString path = 状態ファイルパス(ctx);
    if (path.isEmpty())
        return out;
    const QString text = INI読込(k状態セクション, k受信箱キー, QString(), path);
    for (const QString& item : text.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype eq = item.lastIndexOf(u'=');
        bool ok = false;
        const qint64 secs = item.mid(eq + 1).toLongLong(&ok);
        if (eq <= 0 || !ok)
            continue;
        if (const auto reach = 使える締切(ctx, secs))
            out.insert(item.left(eq), *reach);
    }
    return out;
}

QString 受信箱の締切文字列(const QHash<QString, QDateTime>& reaches) {
    QStringList items;
    for (auto it = reaches.begin(); it != reaches.end(); ++it)
        items << it.key() + u'=' + QString::number(it.value().toSecsSinceEpoch());
    items.sort();
    return items.join(u' ');
}

// Writes the reach (none: a start looks back its 30 minutes only) and whether the run ended
// clean, in one write. A failure gets one error line until a write works again.
bool 状態書込(EngineContext& ctx, const std::optional<QDateTime>& reach, bool clean) {
    const QString path = 状態ファイルパス(ctx);
    if (path.isEmpty())
        return true;
    IniDocument doc = IniDocument::load(path);
    doc.setValue(k状態セクション, k締切キー,
                 reach ? QString::number(reach->toSecsSinceEpoch()) : QString());
    doc.setValue(k状態セクション, k受信箱キー, 受信箱の締切文字列(ctx.状態.転送.受信箱の締切));
    doc.setValue(k状態セクション, k正常終了キー, clean ? QStringLiteral("1") : QStringLiteral("0"));
    QString reason;
    const bool ok = doc.save(path, &reason);
    転送状態& st = ctx.状態.転送;
    if (ok)
        st.書込失敗中 = false;
    else if (!std::exchange(st.書込失敗中, true))
        ctx.画面.エラー行追加(QStringLiteral("転送状態を保存できません（%1）").arg(reason),
                              engerr::StateNotSaved);
    return ok;
}

} // namespace

QDateTime チェック開始(const EngineContext& ctx) {
    const QDateTime& start = ctx.状態.チェック開始時刻;
    const QDateTime t = start.isValid() ? start : ctx.時計.now();
    return t.addMSecs(-t.time().msec());
}

QDateTime 受信時間枠(const EngineContext& ctx) {
    return チェック開始(ctx).addSecs(-30 * 60);
}

QDateTime パスの締切(const EngineContext& ctx) {
    const QDateTime window = 受信時間枠(ctx);
    const std::optional<QDateTime>& reach = ctx.状態.転送.締切基準;
    return reach && *reach < window ? *reach : window;
}

QDateTime 受信箱のパスの締切(const EngineContext& ctx, const QString& account) {
    const QDateTime pass = パスの締切(ctx);
    const auto it = ctx.状態.転送.受信箱の締切.find(account);
    return it != ctx.状態.転送.受信箱の締切.end() && *it < pass ? *it : pass;
}

QDateTime 取得の締切(const EngineContext& ctx) {
    QDateTime reach = パスの締切(ctx);
    for (const QDateTime& t : ctx.状態.転送.受信箱の締切)
        reach = std::min(reach, t);
    return reach;
}

void 受信箱締切更新(EngineContext& ctx, bool allDone, const QDateTime& cutOff) {
    転送状態& st = ctx.状態.転送;
    const QHash<QString, QDateTime> before = st.受信箱の締切;
    if (allDone)
        for (auto it = st.受信箱の締切.begin(); it != st.受信箱の締切.end();)
            it = st.欠けた受信箱.contains(it.key()) || st.見送った受信箱.contains(it.key())
                     ? std::next(it)
                     : st.受信箱の締切.erase(it);
    for (const QString& account : st.欠けた受信箱)
        if (!st.受信箱の締切.contains(account))
            st.受信箱の締切.insert(account, cutOff);
    // An account the pass left out is looked at as if the pass had not been: at its next pass it
    // reaches back as far as it would have, while the reach of the others moves on. Its own
    // 30 minutes need no entry.
    if (cutOff < 受信時間枠(ctx))
        for (const QString& account : st.見送った受信箱)
            if (!st.受信箱の締切.contains(account))
                st.受信箱の締切.insert(account, cutOff);
    if (st.受信箱の締切 != before)
        st.締切基準未保存 = true;
}

QString 状態ファイルパス(const EngineContext& ctx) {
    if (ctx.リストファイルパス.isEmpty())
        return QString();
    return QFileInfo(ctx.リストファイルパス).dir().filePath(QStringLiteral("state.ini"));
}

void 締切基準更新(EngineContext& ctx, const QDateTime& reach) {
    転送状態& st = ctx.状態.転送;
    st.締切を決めたパス = ctx.状態.チェック開始時刻;
    // A pass that did everything sets its own check start, one that did not an older time.
    st.取り残し = reach <= 受信時間枠(ctx);
    if (st.締切基準 == reach)
        return;
    st.締切基準 = reach;
    st.締切基準未保存 = true;
}

void 未完了パス記録(EngineContext& ctx) {
    const QDateTime& pass = ctx.状態.チェック開始時刻;
    if (!pass.isValid() || ctx.状態.転送.締切を決めたパス == pass)
        return;
    締切基準更新(ctx, パスの締切(ctx));
}

void 転送状態保存(EngineContext& ctx) {
    転送状態& st = ctx.状態.転送;
    if (!st.締切基準未保存 || !st.締切基準)
        return;
    // Tried again after the next pass when it failed.
    st.締切基準未保存 = !状態書込(ctx, st.締切基準, false);
}

void 転送状態リセット(EngineContext& ctx) {
    転送状態& st = ctx.状態.転送;
    st.締切基準 = 保存した締切基準(ctx);
    st.受信箱の締切 = 保存した受信箱の締切(ctx);
    st.締切基準未保存 = false;
    st.取り残し = st.締切基準.has_value();
    st.欠けた受信箱.clear();
    st.見送った受信箱.clear();
    st.締切を決めたパス = QDateTime();
    st.送信失敗回数.clear();
    st.送信済み.clear();
    st.終了要求.clear();
    st.取得したパス = QDateTime();
    st.取得成功 = false;
    st.終了未記録 = true;
    // Should this run end without a word, the next start reaches back at least to now.
    状態書込(ctx, st.締切基準 ? *st.締切基準 : ctx.時計.now().addSecs(-30 * 60), false);
}

void 正常終了記録(EngineContext& ctx) {
    転送状態& st = ctx.状態.転送;
    if (!st.終了未記録)
        return;
    // A pass cut short leaves behind what it had not forwarded yet.
    if (ctx.状態.パス実行中)
        未完了パス記録(ctx);
    const std::optional<QDateTime> left = st.取り残し ? st.締切基準 : std::nullopt;
    if (状態書込(ctx, left, true))
        st.終了未記録 = false;
}

void 終了要求確定(EngineContext& ctx) {
    const QStringList ids = std::exchange(ctx.状態.転送.終了要求, QStringList());
    for (const QString& id : ids) {
        bool stored = false;
        エラー無視([&] { stored = ctx.mapMess->ReadMarkStored(id); });
        if (stored) {
            ctx.状態.終了フラグ = 1;
            return;
        }
    }
}

} // namespace kelvo
