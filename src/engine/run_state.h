// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/forward_record.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kelvo {

// The program-wide run-time values that the window, the cycle and the forwarding share.
struct RunState {
    int サイレント起動フラグ = 0; // set by the command line's "/S"
    int 終了フラグ = 0;           // the phone's finish command, or power-off under way
    int 停止要求フラグ = 0;       // the stop command asks the running cycle to end
    int 一覧要求フラグ = 0;       // the phone asked for the subject list
    int メール要求フラグ = 0;     // the phone asked for listed messages
    QString 返信アドレス;         // where list mails go
    QStringList 要求番号;         // the list numbers the phone asked for
    QDateTime チェック開始時刻;   // when the current pass began
    int 新着メール数 = 0;
    int 転送メール数 = 0;
    QString スケジュール状態;     // "稼動中" or "停止中"
    bool パス実行中 = false;      // a forwarding pass is using the mail controls
    // The last sign-on wanted a person to sign in (no usable token or stored password): its
    // error line is shown once, and passes come at the interval, until a sign-on works.
    bool サインイン待ち = false;
    // The server refused the last sign-on's user name or secret: trying the same again every
    // few seconds would only get the account locked, so passes come at the interval.
    bool サインオン拒否 = false;
    転送状態 転送;              // what the forwarding carries from pass to pass

    // Both counts back to 0, as every start of forwarding does.
    void 計数リセット();
};

} // namespace kelvo
