// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace kelvo {

// What a forward of the automatic pass sent before it failed: its retry sends only the mails
// not yet sent, as long as they would be the same mails to the same address.
struct 送信記録 {
    QString 宛先;
    QList<QByteArray> 指紋; // of each mail's subject and text, in sending order
    qsizetype 送信済み = 0;  // the first mails of the list that went out
};

// What the forwarding carries from one pass to the next.
struct 転送状態 {
    // The receive time the next pass forwards from at the latest: the check start of the last
    // pass that fetched and forwarded everything it sent. Empty for the first pass of a start.
    std::optional<QDateTime> 締切基準;
    bool 締切基準未保存 = false; // the state file does not have it yet
    // Forwards that could not be sent, by MsgID. A message that reaches the limit is given up
    // until forwarding is started again.
    QHash<QString, int> 送信失敗回数;
    // What went out of the forwards that failed part-way, by MsgID.
    QHash<QString, 送信記録> 送信済み;
    // The MsgID of every "Z" mail read in this pass: the finish waits until its read mark is
    // in the mailbox.
    QStringList 終了要求;
    // The unread fetch of the pass that began at this check start time, and whether it worked.
    QDateTime 取得したパス;
    bool 取得成功 = false;
    // The accounts of an Inbox of several whose mail that fetch lacks: they could not be reached.
    QStringList 欠けた受信箱;
    // The accounts that fetch left out: news of the others started the pass.
    QStringList 見送った受信箱;
    // Those of 欠けた受信箱 that wait for a person to sign in: their line is shown once.
    QStringList サインイン待ちの受信箱;
    // Accounts whose mail waits at an older reach than the others': one that could not be
    // reached keeps the reach of the pass that missed it, until a pass forwards all its mail.
    QHash<QString, QDateTime> 受信箱の締切;
    // Mail older than a pass's 30 minutes may still wait at the reach: it came with the state
    // file, or the last pass did not fetch and forward everything.
    bool 取り残し = false;
    QDateTime 締切を決めたパス; // the check start of the pass that last set the reach
    // Forwarding was started, and the state file does not yet say how it ended.
    bool 終了未記録 = false;
    bool 書込失敗中 = false; // the last write of the state file failed (and was reported)
};

} // namespace kelvo
