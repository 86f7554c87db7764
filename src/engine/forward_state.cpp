#include "engine/forward_state.h"

#include "common/error_trap.h"
#include "engine/engine_context.h"
#include "mail/mapi_messages.h"
#include "settings/ini_file.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

namespace kelvo {

namespace {

const QString k状態セクション = QStringLiteral("転送状態");
const QString k締切キー = QStringLiteral("最終完了チェック");
constexpr qint64 k最長遡及秒 = 24 * 60 * 60;

std::optional<QDateTime> 保存した締切基準(const EngineContext& ctx) {
    const QString path = 状態ファイルパス(ctx);
    if (path.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 secs = INI読込(k状態セクション, k締切キー, QString(), path).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const QDateTime now = ctx.時計.now();
    const QDateTime saved = QDateTime::fromSecsSinceEpoch(secs);
    // A time in the future (a clock set back) is no reach at all.
    if (saved > now)
        return std::nullopt;
    return std::max(saved, now.addSecs(-k最長遡及秒));
}

} // namespace

QString 状態ファイルパス(const EngineContext& ctx) {
    if (ctx.リストファイルパス.isEmpty())
        return QString();
    return QFileInfo(ctx.リストファイルパス).dir().filePath(QStringLiteral("state.ini"));
}

void 締切基準更新(EngineContext& ctx, const QDateTime& reach) {
    転送状態& st = ctx.状態.転送;
    if (st.締切基準 == reach)
        return;
    st.締切基準 = reach;
    st.締切基準未保存 = true;
}

void 転送状態保存(EngineContext& ctx) {
    転送状態& st = ctx.状態.転送;
    const QString path = 状態ファイルパス(ctx);
    if (!std::exchange(st.締切基準未保存, false) || !st.締切基準 || path.isEmpty())
        return;
    INI書込(k状態セクション, k締切キー, QString::number(st.締切基準->toSecsSinceEpoch()), path);
}

void 転送状態リセット(EngineContext& ctx) {
    転送状態& st = ctx.状態.転送;
    st.締切基準 = 保存した締切基準(ctx);
    st.締切基準未保存 = false;
    st.送信失敗回数.clear();
    st.送信済み.clear();
    st.終了要求.clear();
    st.取得したパス = QDateTime();
    st.取得成功 = false;
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
