// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/ui_port.h"
#include "fakes.h"
#include "settings/ini_file.h"
#include "settings/settings_dialog.h"
#include "settings/settings_record.h"
#include "temp_dir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <ostream>

// Readable QStrings in failure messages.
static inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace kelvo::test {

// A settings file as a first start writes it, the record that dialogs edit, and the desktop
// double that answers their message boxes.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        設定.設定ファイルパス = dir.filePath(QStringLiteral("setting.ini"));
        ASSERT_TRUE(初期設定ファイル作成(設定.設定ファイルパス, dir.path()));
        firstStart = file();
    }

    DialogContext context() { return {設定, dir.path(), ui}; }
    QByteArray file() const { return readAll(設定.設定ファイルパス); }
    // Changes one key of the file, as an earlier session of the program would have.
    void store(const char* section, const char* key, const QString& value) {
        ASSERT_TRUE(INI書込(QString::fromUtf8(section), QString::fromUtf8(key), value,
                            設定.設定ファイルパス));
    }
    // The record as the file holds it now.
    SettingsRecord stored() const {
        SettingsRecord r;
        r.設定ファイルパス = 設定.設定ファイルパス;
        設定読込(r, dir.path());
        return r;
    }
    QStringList messages() const {
        QStringList out;
        for (const ShownMessage& m : ui.messages)
            out << m.text;
        return out;
    }

    // Types the text key by key, as a keyboard or an input method would deliver it.
    static void keys(QWidget* target, const QString& text) {
        for (QChar c : text) {
            const char16_t u = c.unicode();
            const int key = u < 0x80 ? int(QChar(u).toUpper().unicode()) : int(Qt::Key_unknown);
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &release);
        }
    }
    // Replaces the box's text by typing.
    static void type(QLineEdit* box, const QString& text) {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        keys(box, text);
    }
    // Clicks near the left edge, where a check box or an option button has its mark.
    static void click(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {},
                          QPoint(qMin(8, button->width() - 1), button->height() / 2));
    }

    QTemporaryDir dir;
    SettingsRecord 設定;
    FakeUi ui;
    QByteArray firstStart;
};

} // namespace kelvo::test
