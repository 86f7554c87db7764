// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <QToolButton>

namespace kelvo {

class UiPort;

// The code of a character in code page 932 taken as a signed 16-bit value: a single-byte
// character gives its byte (0 to 255), a double-byte one its two bytes, lead byte first,
// which comes out negative; a character code page 932 lacks counts as "?".
qint16 cp932コード(char32_t ch);

// Whether a number box lets a typed character with that code through: control keys (below
// 32), the digits and double-byte characters (negative) pass; the rest beeps.
inline bool 数字欄に通す(qint16 code) {
    return code < 32 || (code >= '0' && code <= '9');
}

// A text box for a number: its text is kept exactly as typed ("05" stays "05", "" stays
// ""), and typed characters go through the number key filter. A discarded character beeps.
class NumberBox : public QLineEdit {
    Q_OBJECT
public:
    NumberBox(UiPort& ui, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // The characters of text that pass, beeping once for each one that does not.
    QString 通す文字(const QString& text);

    UiPort& ui;
};

// An up-down control beside a number box: its arrows step the box's number by 1 within the
// range and write it into the box.
class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent = nullptr);

    int minimum() const { return 最小; }
    int maximum() const { return 最大; }
    QLineEdit* buddy() const { return 相手; }

    void stepUp() { 進める(1); }
    void stepDown() { 進める(-1); }

    QToolButton* upButton = nullptr;
    QToolButton* downButton = nullptr;

private:
    void 進める(int step);

    QLineEdit* 相手;
    int 最小;
    int 最大;
    int 値;
};

} // namespace kelvo
