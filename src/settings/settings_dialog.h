// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/file_chooser.h"
#include "settings/settings_record.h"

#include <QDialog>
#include <QString>
#include <functional>

class QBoxLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;

namespace kelvo {

class NumberBox;
class UiPort;
class UpDown;

// What a settings dialog needs of the program: the settings record it edits, the directory
// whose default log path a read fills in, and the desktop for message boxes and the beep.
struct DialogContext {
    SettingsRecord& 設定;
    QString 既定ディレクトリ;
    UiPort& ui;
};

// A flag's text: "1" on, "0" off.
inline QString フラグ(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// How an apply step ended.
enum class ApplyResult {
    Saved,      // stored, written and read back
    Stopped,    // a check failed; what was stored before it stays in the record only
    SaveFailed, // the file could not be written; the record keeps the values
};

// What both settings dialogs share: the three buttons and what they do, the message boxes,
// writing and re-reading the settings, the file chooser, centring and the rounded outline.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // The file chooser the "..." buttons use; a test puts its own in.
    using FileChooser = std::function<QString(QWidget*, const FileFilter&, const QString&)>;
    FileChooser ファイル選択 = ファイル選択ダイアログ;

    // Shows the chooser for a text file, starting in the folder of the log path; the chosen
    // path, or empty when cancelled.
    QString 保存ダイアログ表示();

    // "適用": validate and store; the dialog stays open.
    ApplyResult cmdApply_Click();
    // "OK": the same, then close, also when a check failed; a save that failed keeps the
    // dialog open so that nothing typed is lost.
    void cmdOK_Click();

    QPushButton* cmdOK = nullptr;
    QPushButton* cmdApply = nullptr;
    QPushButton* キャンセル = nullptr;

protected:
    SettingsDialog(const DialogContext& context, QWidget* parent);

    // The apply step of the dialog.
    virtual ApplyResult 適用() = 0;

    // The row of "OK", "ｷｬﾝｾﾙ" and "適用"; the cancel button gets the given object name.
    QBoxLayout* ボタン行(const QString& cancelName);
    // Widgets side by side, left-aligned.
    static QHBoxLayout* 横並び(std::initializer_list<QWidget*> widgets);
    // A number box wide enough for the digits, with its up-down control.
    NumberBox* 数字欄(const char* name, const char* upDownName, int min, int max, int digits,
                      UpDown*& upDown);
    // The "..." button Command1 that calls the given handler.
    QPushButton* 参照ボタン(QWidget* parent, std::function<void()> handler);

    // A notice with an OK button and the application's title; two lines joined by CR LF.
    void お知らせ(const QString& text);
    void お知らせ(const QString& first, const QString& second);
    // Replaces the box's text with a chosen file; cancelling the chooser keeps the text.
    void ファイルを選んで入れる(QLineEdit* box);

    // Reads every setting from the file.
    void 全設定読込();
    // Writes every setting, then reads them back. A failed write is told with the file and
    // the reason; the record then keeps its values and nothing is read back.
    ApplyResult 全設定書込();

    // Twips (1/1440 inch) to pixels at the screen's logical DPI.
    int twips(int value) const;

    void showEvent(QShowEvent* event) override;

    SettingsRecord& 設定;
    QString 既定ディレクトリ;
    UiPort& ui;

private:
    bool 配置済 = false;
};

} // namespace kelvo
