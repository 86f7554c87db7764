// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "engine/engine_context.h"
#include "engine/forward_state.h"
#include "engine/new_mail_check.h"
#include "engine/session.h"
#include "engine/subject_list.h"

namespace kelvo::test {

// The start of a pass as the cycle makes it: the check start time, sign-on and the fetch.
inline bool パス開始(EngineContext& ctx) {
    ctx.状態.チェック開始時刻 = ctx.時計.now();
    if (!ログオン(ctx))
        return false;
    未読メール取得(ctx);
    return true;
}

// A whole pass as the cycle runs it, without the steps that are the cycle's own (panels,
// hang-up, acting on the finish flag).
inline void パス実行(EngineContext& ctx) {
    if (!パス開始(ctx))
        return;
    メールチェック(ctx);
    自動転送(ctx);
    if (ctx.状態.一覧要求フラグ == 1) {
        一覧取得(ctx);
        ctx.状態.一覧要求フラグ = 0;
    }
    if (ctx.状態.メール要求フラグ == 1) {
        特定メール取得(ctx);
        ctx.状態.メール要求フラグ = 0;
    }
    ログオフ(ctx);
    終了要求確定(ctx);
    転送状態保存(ctx);
}

} // namespace kelvo::test
