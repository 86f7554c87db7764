// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/session.h"

#include "common/error_trap.h"
#include "mail/core/mail_error.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/read_marks.h"
#include "system/redial.h"

namespace kelvo {

namespace {

void 接続手順(EngineContext& ctx) {
    MapiSession& mapSess = *ctx.mapSess;
    mapSess.setDownLoadMail(true);
    mapSess.setLogonUI(false);
    ctx.画面.setPanelText(kPanel次の接続まで, QStringLiteral("サーバーへ接続中・・・"));
    if (isOn(ctx.設定.プロファイル使用フラグ))
        mapSess.setUserName(ctx.設定.プロファイル名);
    if (mapSess.SessionID() == 0) {
        // A dial-up line hung up after the last pass is dialled again first.
        if (isOn(ctx.設定.ダイヤルアップフラグ) && ctx.システム)
            回線再接続(*ctx.システム, ctx.待機, ctx.時計);
        mapSess.SignOn();
        mapSess.setNewSession(true);
        if (isOn(ctx.設定.ダイヤルアップフラグ))
            ctx.画面.モニター行追加(QStringLiteral("サーバーに接続"), false);
    }
    ctx.mapMess->setSessionID(mapSess.SessionID());
    ctx.画面.setPanelText(kPanel次の接続まで, QStringLiteral("接続終了"));
}

void 中断した転送を未読に(const RunState& state, MapiSession& mapSess) {
    ReadMarks& marks = mapSess.readMarks();
    for (auto it = state.転送.送信済み.cbegin(); it != state.転送.送信済み.cend(); ++it) {
        const bool cutShort = it->送信済み < it->指紋.size();
        if (cutShort && marks.isPending(it.key()))
            marks.keepUnread(it.key());
    }
}

} // namespace

bool ログオン(EngineContext& ctx) {
    bool& 待ち = ctx.状態.サインイン待ち;
    bool サインイン要 = false;
    bool 拒否 = false;
    bool ok = false;
    エラートラップ(ctx.画面, [&] {
        try {
            接続手順(ctx);
            ok = true;
        } catch (const KelvoError& e) {
            拒否 = e.number() == mailerr::LoginFailed;
            if (!needsSignIn(e.number()))
                throw;
            // Only a person can mend it: the line is shown once, not at every try.
            サインイン要 = true;
            if (!std::exchange(待ち, true))
                throw;
        }
    });
    待ち = サインイン要;
    ctx.状態.サインオン拒否 = 拒否;
    return ok;
}

void ログオフ(MapiSession& mapSess) {
    if (mapSess.NewSession()) {
        mapSess.SignOff();
        mapSess.setNewSession(false);
    }
}

void ログオフ(EngineContext& ctx) {
    ログオフ(*ctx.mapSess);
}

void 終了時ログオフ(EngineContext& ctx) {
    中断した転送を未読に(ctx.状態, *ctx.mapSess);
    ログオフ(ctx);
}

} // namespace kelvo
