#include "engine/forward_state.h"

#include "common/error_trap.h"
#include "engine/engine_context.h"
#include "mail/mapi_messages.h"

#include <utility>

namespace kelvo {

void 転送状態リセット(EngineContext& ctx) {
    転送状態& st = ctx.状態.転送;
    st.締切基準.reset();
    st.送信失敗回数.clear();
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
