// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDialog>
#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kelvo {

struct EngineContext;
class CycleWindow;
class SystemControl;
class UiPort;

// What the self-test works with: the engine's operations over the main window's mail-system
// controls, the system's services, the main window with its phone settings dialog, and the
// desktop for message boxes.
struct SelfTestContext {
    EngineContext& engine;
    SystemControl& システム;
    CycleWindow& 主画面;
    UiPort& ui;
    // Before the sign-on test: lets the person at the desktop sign the profile in when it keeps
    // its token or password in the keyring and has none that works. Raises KelvoError.
    std::function<void()> サインイン = {};
};

// "自動転送のテスト": lets the user try, one at a time, what an unattended run depends on:
// signing on, forwarding one message, hanging up the line and powering off. Every test asks
// first, writes its progress into the main window's countdown panel and ends with a message
// that tells the user what to look for. No failure of a test ends Kelvo (except test 4's own
// power-off).
class SelfTestDialog : public QDialog {
    Q_OBJECT
public:
    explicit SelfTestDialog(const SelfTestContext& context, QWidget* parent = nullptr);

    // "テスト実行": runs the test of the selected option.
    void buttonテスト_Click();
    // "ｷｬﾝｾﾙ".
    void CancelButton_Click();

    // The four tests.
    void 新着メールチェックテスト();
    void メール転送テスト();
    void 回線切断テスト();
    void 電源OFFテスト();

    // True while a test runs; the dialog then neither starts another test nor closes.
    bool テスト実行中() const { return 実行中; }

    // Controls, named as the dialog's own.
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QRadioButton* op新着メールチェック = nullptr;
    QRadioButton* opメール転送 = nullptr;
    QRadioButton* op回線切断 = nullptr;
    QRadioButton* op電源OFFテスト = nullptr;
    QPushButton* buttonテスト = nullptr;
    QPushButton* CancelButton = nullptr;

    void reject() override;

private:
    void 部品作成();
    void 中央に配置();
    void 選択したテスト();

    // A question with Yes and No; true on Yes.
    bool 確認(const QString& text);
    // A notice with an OK button.
    void お知らせ(const QString& text);
    void パネル(const QString& text);
    // The phone address cannot be used: say why, close, and open the phone settings.
    void 携帯電話の設定へ(const QString& reason);
    // Test 2 could not go on; the reason is already on the monitor.
    void 転送テスト中止(const QString& description, int number);

    SelfTestContext c;
    bool 実行中 = false;
};

using testform = SelfTestDialog;

} // namespace kelvo
