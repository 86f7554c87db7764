#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace kelvo {

struct EngineContext;

// What the forwarding carries from one pass to the next.
struct 転送状態 {
    // The receive time the next pass forwards from at the latest: the check start of the last
    // pass that fetched and forwarded everything it sent. Empty for the first pass of a start.
    std::optional<QDateTime> 締切基準;
    // Forwards that could not be sent, by MsgID. A message that reaches the limit is given up
    // until forwarding is started again.
    QHash<QString, int> 送信失敗回数;
    // The MsgID of every "Z" mail read in this pass: the finish waits until its read mark is
    // in the mailbox.
    QStringList 終了要求;
    // The unread fetch of the pass that began at this check start time, and whether it worked.
    QDateTime 取得したパス;
    bool 取得成功 = false;
};

// How many times a message's forward is tried before it is given up.
inline constexpr int k送信試行上限 = 3;

// At every start of forwarding: the first pass goes back 30 minutes only, nothing of an
// earlier start is pending, and every message gets its full number of tries again (a message
// given up stays unread; a new start forwards it only if it is still within the 30 minutes).
void 転送状態リセット(EngineContext& ctx);

// After the pass has signed off: raises the finish flag when the read mark of a "Z" mail of
// the pass is stored in the mailbox. A mark that could not be stored leaves the mail unread,
// so the next pass sees the command again.
void 終了要求確定(EngineContext& ctx);

} // namespace kelvo
