// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Every window as the user sees it, at the DPI this run was started with (KELVO_TEST_DPI):
// texts fit their widgets and no two widgets overlap.
#include "about/about_window.h"
#include "about/splash_window.h"
#include "common/ui_port.h"
#include "dialog_fixture.h"
#include "engine/engine_context.h"
#include "engine/run_state.h"
#include "engine/schedule.h"
#include "fake_cycle_window.h"
#include "fake_system_control.h"
#include "kelvo_instance.h"
#include "layout_check.h"
#include "modal_helper.h"
#include "selftest/self_test_dialog.h"
#include "settings/options_dialog.h"
#include "settings/phone_dialog.h"
#include "settings/settings_record.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QStackedWidget>
#include <QTabBar>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::test;

namespace {

// The settings dialogs' fixture: a first-start settings file, its record and the desktop double.
class TextFit : public DialogTest {
protected:
    // Shows the window, lets its layout settle and reports what does not fit.
    static void expectFits(QWidget& window, const QString& what) {
        window.show();
        QCoreApplication::processEvents();
        const QStringList problems = layoutProblems(&window);
        EXPECT_TRUE(problems.isEmpty())
            << what.toStdString() << " at " << window.logicalDpiX() << " DPI:\n  "
            << problems.join(QStringLiteral("\n  ")).toStdString();
    }
};

// The check itself finds what it is there to find.
TEST(LayoutCheck, FindsClippedTextOverlapsAndASqueezedWindow) {
    QWidget window;
    window.setObjectName(QStringLiteral("window"));
    auto* label = new QLabel(QStringLiteral("携帯端末のメールアドレス"), &window);
    label->setGeometry(0, 0, 20, 10);
    auto* other = new QLabel(QStringLiteral("x"), &window);
    other->setGeometry(10, 5, 30, 30);
    window.resize(200, 100);
    window.show();
    const QString problems = layoutProblems(&window).join(u'\n');
    EXPECT_TRUE(problems.contains(QStringLiteral("text needs"))) << problems.toStdString();
    EXPECT_TRUE(problems.contains(QStringLiteral("overlaps"))) << problems.toStdString();

    QWidget squeezed;
    auto* column = new QVBoxLayout(&squeezed);
    column->addWidget(
        new QLabel(QStringLiteral("自動転送を開始して以下の時間が経過したら終了する。")));
    squeezed.setFixedSize(40, 20);
    squeezed.show();
    EXPECT_TRUE(layoutProblems(&squeezed).join(u'\n').contains(QStringLiteral("smaller than")));
}

TEST_F(TextFit, RunsAtTheRequestedDpi) {
    int requested = qEnvironmentVariableIntValue("KELVO_TEST_DPI");
    if (requested == 0)
        requested = 96;
    QWidget w;
    EXPECT_EQ(w.logicalDpiX(), requested);
}

TEST_F(TextFit, MainWindowWithItsLongestPanelTexts) {
    VirtualClock clock;
    KelvoInstance kelvo(dir.path(), clock);
    MainForm& window = *kelvo.window;
    window.Form_Load();
    expectFits(window, QStringLiteral("main window"));
    // The longest countdown (just under the longest interval) and large counts.
    window.setPanelText(kPanel次の接続まで,
                        QStringLiteral("次の接続まで ") + 時間表示(3600.0 * 60 - 1));
    window.setPanelText(kPanel新着メール数, QStringLiteral("新着メール数 :32767"));
    window.setPanelText(kPanel転送メール数, QStringLiteral("転送メール数 :32767"));
    expectFits(window, QStringLiteral("main window, long panel texts"));
}

TEST_F(TextFit, PhoneSettingsDialog) {
    PhoneDialog dialog(context());
    expectFits(dialog, QStringLiteral("phone settings"));
}

TEST_F(TextFit, OptionsDialogOnEveryPage) {
    OptionsDialog dialog(context());
    dialog.タブストリップを左上へ();
    ASSERT_EQ(dialog.タブストリップ->count(), 5);
    for (int page = 0; page < dialog.タブストリップ->count(); ++page) {
        dialog.タブストリップ->setCurrentIndex(page);
        ASSERT_EQ(dialog.ページ->currentIndex(), page);
        expectFits(dialog, QStringLiteral("options page ") + dialog.タブストリップ->tabText(page));
    }
}

TEST_F(TextFit, OptionsDialogWithEveryRuleOn) {
    // Frames that a rule switches on are shown enabled, with the texts the file gives them.
    OptionsDialog dialog(context());
    for (QCheckBox* rule : {dialog.chkアドレス帳, dialog.chk差出人, dialog.chkマルチアカウント,
                            dialog.chkスケジュールフラグ, dialog.chk自動終了フラグ})
        rule->setChecked(true);
    for (int page = 0; page < dialog.タブストリップ->count(); ++page) {
        dialog.タブストリップ->setCurrentIndex(page);
        expectFits(dialog, QStringLiteral("options page (rules on) ") +
                               dialog.タブストリップ->tabText(page));
    }
}

TEST_F(TextFit, SelfTestDialog) {
    VirtualClock clock;
    FakeWindow window(clock, &ui);
    RunState state;
    RecordingExit exit;
    EngineContext engine{設定, state, window, clock, clock, exit, QString()};
    FakeSystemControl system(&clock);
    FakeCycleWindow mainWindow;
    SelfTestDialog dialog(SelfTestContext{engine, system, mainWindow, ui});
    expectFits(dialog, QStringLiteral("self-test"));
}

TEST_F(TextFit, SplashWindow) {
    VirtualClock clock;
    SplashWindow splash(clock, SplashSteps{});
    // Checked as it comes up, before its activation step closes it.
    splash.show();
    const QStringList problems = layoutProblems(&splash);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QStringLiteral("\n  ")).toStdString();
}

// The longest messages of the program: lines break where the texts have CR LF, and nowhere
// else.
TEST_F(TextFit, MessageBoxesKeepTheirLines) {
    const QString crlf = QStringLiteral("\r\n");
    const QStringList messages{
        QStringLiteral("\r\n  Kelvoをインストールしていただきありがとうございます。\r\n"
                       "はじめに、ヘルプの 「３．はじめてお使いの方は」 を読んでください。"),
        QStringLiteral(
            "メールアドレスが入力されていません。マルチアカウント１のチェックをはずします。"),
        QStringLiteral("転送ルールのメール差出人のアドレスが１つも入力されていません。"
                       "メール差出人による振分機能は無効になります。"),
        QStringList{
            QStringLiteral("ダイヤルアップユーザー向け自動転送システムのテストを行います。"),
            QStringLiteral("メールソフトの設定で「送受信を終了したら回線を切断する」のチェックを"
                           "ＯＦＦにし、"),
            QStringLiteral(
                "メールソフトの「送受信」コマンドを実行し、メールサーバーと接続した状態に"
                "してください。"),
            QStringLiteral("準備ができたら「ＯＫ」ボタンを押してください。"),
            QStringLiteral("本ソフトが回線を切断します。"
                           "一時的にダイヤルアップネットワークのwindowが立ちあがりますが"
                           "そのままお待ち下さい。"),
        }
            .join(crlf),
    };
    QtUiPort port;
    for (const QString& text : messages) {
        QStringList problems;
        LaidOutText shown;
        whenModal<QDialog>([&](QDialog* box) {
            QCoreApplication::processEvents();
            problems = layoutProblems(box);
            // The message is the label with the most text.
            const QLabel* message = nullptr;
            for (const QLabel* label : box->findChildren<QLabel*>())
                if (!message || label->text().size() > message->text().size())
                    message = label;
            if (message)
                shown = laidOut(message);
            box->done(QDialog::Accepted);
        });
        port.messageBox(nullptr, text, MsgButtons::YesNo, kAppTitle);
        EXPECT_EQ(shown.lines, text.count(crlf) + 1) << text.toStdString();
        EXPECT_FALSE(shown.clipped) << text.toStdString();
        EXPECT_TRUE(problems.isEmpty()) << problems.join(QStringLiteral("\n  ")).toStdString();
    }
}

TEST_F(TextFit, AboutWindow) {
    AboutWindow about;
    expectFits(about, QStringLiteral("About"));
}

} // namespace
