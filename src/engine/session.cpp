#include "engine/session.h"

#include "common/error_trap.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "system/redial.h"

namespace kelvo {

bool ログオン(EngineContext& ctx) {
    return エラートラップ(ctx.画面, [&] {
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
    });
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

} // namespace kelvo
