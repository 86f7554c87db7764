// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/program_shell.h"

#include "common/error.h"
#include "common/error_trap.h"
#include "common/private_folder.h"
#include "shell/command_line.h"

#include <QFileInfo>
#include <QLockFile>

namespace kelvo {
namespace {

const QString kWelcome =
    QStringLiteral("\r\n  Kelvoをインストールしていただきありがとうございます。\r\n"
                   "はじめに、ヘルプの 「３．はじめてお使いの方は」 を読んでください。");
const QString kGoodbye = QStringLiteral("Kelvoを終了します");

} // namespace

ProgramShell::ProgramShell(AppContext& context, WindowPort& window) : ctx(context), 画面(window) {}

ProgramShell::~ProgramShell() = default;

// Load handler.
void ProgramShell::Form_Load() {
    エラートラップ(画面, [&] {
        if (多重起動()) {
            int cancel = 0;
            Form_Unload(cancel);
            return;
        }
        停止モード();
        ctx.設定.設定ファイルパス = ctx.settingsDirectory + QStringLiteral("/setting.ini");
        リストファイルパス値 = ctx.settingsDirectory + QStringLiteral("/list.ini");
        if (!QFileInfo::exists(ctx.設定.設定ファイルパス)) {
            // A file that cannot be written is reported, and start-up goes on as at any first
            // start: the settings are then read as if-missing values and "/S" still counts.
            QString reason;
            if (!初期設定ファイル作成(ctx.設定.設定ファイルパス, ctx.settingsDirectory, &reason))
                画面.エラー行追加(reason, errnum::PermissionDenied);
            画面.messageBox(kWelcome);
        }
        画面.setPanelText(kPanel次の接続まで, QStringLiteral("停止中"));
        QString problem;
        設定読込(ctx.設定, ctx.settingsDirectory, &problem);
        if (!problem.isEmpty())
            画面.エラー行追加(problem, errnum::InvalidFormat);
        call(hooks.オプション読込);
        GetCommandLine();
    });
}

bool ProgramShell::多重起動() {
    makePrivateFolder(ctx.settingsDirectory);
    ロック = std::make_unique<QLockFile>(ctx.settingsDirectory + QStringLiteral("/kelvo.lock"));
    // A lock left by a crashed Kelvo is taken over; age alone never makes it stale.
    ロック->setStaleLockTime(0);
    if (ロック->tryLock(0))
        return false;
    // Only a lock held by a running Kelvo refuses this one; a directory that cannot hold a
    // lock does not keep the user from running Kelvo.
    return ロック->error() == QLockFile::LockFailedError;
}

// Unload handler.
void ProgramShell::Form_Unload(int& Cancel) {
    Q_UNUSED(Cancel);
    // A second close request while the goodbye box is up must not start a second goodbye; a
    // signal then ends Kelvo without waiting for the box, whose work is already done.
    if (終了処理中) {
        if (挨拶なし && 挨拶表示中)
            終了する();
        return;
    }
    終了処理中 = true;
    if (ctx.状態.終了フラグ == 1) {
        ctx.exit.endProgram();
        return;
    }
    エラー無視([&] { call(hooks.ログオフ); });
    if (isOn(ctx.設定.ログ出力フラグ) && 画面.モニター行数() > 0)
        画面.ログファイル書込(ctx.設定.ログファイルパス);
    if (!挨拶なし) {
        挨拶表示中 = true;
        画面.messageBox(kGoodbye);
        挨拶表示中 = false;
    }
    終了する();
    終了処理中 = false; // only a test's exit double returns here
}

void ProgramShell::終了する() {
    if (ロック)
        ロック->unlock();
    ctx.exit.endProgram();
}

void ProgramShell::静かに終了() {
    挨拶なし = true;
    ctx.状態.停止要求フラグ = 1;
    if (閉じる要求 && 閉じる要求())
        return;
    int cancel = 0;
    Form_Unload(cancel);
}

// Running (2): Start unavailable, Stop available; stopped (1) the other way round.
void ProgramShell::モード切替(int state) {
    実行状態値 = state;
    if (モード表示)
        モード表示(state);
}

QStringList ProgramShell::GetCommandLine(int maximum) {
    const CommandLine parsed = コマンドライン解析(ctx.commandLineText, maximum);
    if (parsed.サイレント起動)
        ctx.状態.サイレント起動フラグ = 1;
    return parsed.引数;
}

void ProgramShell::開始コマンド() {
    if (実行状態値 == 2) {
        画面.setPanelText(kPanel次の接続まで, QStringLiteral("すでに開始しています。 "));
        return;
    }
    call(hooks.自動転送開始);
}

void ProgramShell::停止コマンド() {
    if (実行状態値 == 1) {
        画面.setPanelText(kPanel次の接続まで, QStringLiteral("すでに停止しています。 "));
        return;
    }
    停止ルーチン();
}

void ProgramShell::停止ルーチン() {
    停止モード();
    ctx.状態.停止要求フラグ = 1;
    ctx.waiter.wake(); // a cycle that sleeps while nobody looks ends now
    画面.setPanelText(kPanel次の接続まで, QStringLiteral("接続を停止中"));
}

} // namespace kelvo
