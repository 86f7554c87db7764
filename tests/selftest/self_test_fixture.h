// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "fake_cycle_window.h"
#include "engine/cycle_window.h"
#include "fake_system_control.h"
#include "forward_fixture.h"
#include "selftest/self_test_dialog.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace kelvo::test {

inline const QString kCRLF = QStringLiteral("\r\n");
inline const QString kCancelled = QStringLiteral("テストはキャンセルされました。");

// The main window as the self-test sees it: its phone settings dialog.
using FakeTestWindow = FakeCycleWindow;

// The self-test dialog, open, over an in-memory mailbox, the recording system double and a
// desktop double that answers Yes and OK unless told otherwise.
class SelfTestTest : public ForwardTest {
protected:
    SelfTestTest() {
        ctx.システム = &sys;
        testWindow.addressBox = kPhone;
        dialog.show();
    }

    // Selects the option as the user does and presses "テスト実行".
    void run(QRadioButton* option) {
        if (option)
            QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
        QTest::mouseClick(dialog.buttonテスト, Qt::LeftButton);
    }
    void answer(std::initializer_list<MsgResult> answers) { ui.answers.assign(answers); }

    QStringList texts() const {
        QStringList out;
        for (const ShownMessage& m : ui.messages)
            out << m.text;
        return out;
    }
    // Every box has the program's title; questions Yes and No, the others OK only.
    void expectButtons(std::initializer_list<MsgButtons> buttons) const {
        ASSERT_EQ(ui.messages.size(), buttons.size());
        size_t i = 0;
        for (MsgButtons b : buttons) {
            EXPECT_EQ(ui.messages[i].buttons, b) << "box " << i;
            EXPECT_EQ(ui.messages[i].title, QStringLiteral("Kelvo")) << "box " << i;
            ++i;
        }
    }
    QStringList panel() const { return window.panelHistory.value(kPanel次の接続まで); }
    // Kelvo goes on: nothing ended it, and the dialog is ready for the next test.
    void expectStillRunning() const {
        EXPECT_EQ(exit.ends, 0);
        EXPECT_EQ(状態.終了フラグ, 0);
        EXPECT_FALSE(dialog.テスト実行中());
        EXPECT_TRUE(dialog.buttonテスト->isEnabled());
    }

    FakeUi ui;
    FakeSystemControl sys{&clock};
    FakeTestWindow testWindow;
    SelfTestDialog dialog{SelfTestContext{ctx, sys, testWindow, ui}};
};

} // namespace kelvo::test
