// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/file_chooser.h"

#include "modal_helper.h"
#include "temp_dir.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kelvo {
namespace {

using test::whenModal;

const FileFilter kText{QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.TXT)"), QStringLiteral("*.txt")};

class FileChooser : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("logs")));
        existing = dir.filePath(QStringLiteral("logs/転送ログ.txt"));
        ASSERT_TRUE(test::writeAll(existing, "x"));
    }
    QTemporaryDir dir;
    QString existing;
    QWidget owner;
};

TEST_F(FileChooser, StartsInTheFolderOfThePathWithNothingPreselected) {
    QString folder, typed;
    QFileDialog::AcceptMode mode{};
    QFileDialog::FileMode fileMode{};
    QStringList filters;
    QWidget* parent = nullptr;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        folder = d->directory().absolutePath();
        typed = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        mode = d->acceptMode();
        fileMode = d->fileMode();
        filters = d->nameFilters();
        parent = d->parentWidget();
        d->reject();
    });
    EXPECT_EQ(ファイル選択ダイアログ(&owner, kText, existing), QString());
    EXPECT_EQ(folder, QDir(dir.filePath(QStringLiteral("logs"))).absolutePath());
    EXPECT_EQ(typed, QString());
    EXPECT_EQ(mode, QFileDialog::AcceptSave);
    EXPECT_EQ(fileMode, QFileDialog::ExistingFile);
    EXPECT_EQ(filters, QStringList{QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.TXT) (*.txt)")});
    EXPECT_EQ(parent, &owner);
}

TEST_F(FileChooser, ReturnsTheChosenExistingFile) {
    whenModal<QFileDialog>([&](QFileDialog* d) {
        d->selectFile(existing);
        static_cast<QDialog*>(d)->accept(); // QFileDialog checks the name here
    });
    EXPECT_EQ(ファイル選択ダイアログ(&owner, kText, dir.path()), existing);
}

TEST_F(FileChooser, RefusesAFileThatDoesNotExist) {
    bool warned = false, stillOpen = false;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        whenModal<QMessageBox>([&](QMessageBox* box) {
            warned = true;
            box->accept();
        });
        d->selectFile(dir.filePath(QStringLiteral("logs/new.txt")));
        static_cast<QDialog*>(d)->accept(); // QFileDialog checks the name here
        stillOpen = d->isVisible();
        d->reject();
    });
    EXPECT_EQ(ファイル選択ダイアログ(&owner, kText, existing), QString());
    EXPECT_TRUE(warned);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("logs/new.txt"))));
}

TEST(FileChooserFolder, IsThePathsFolderOrNothing) {
    QTemporaryDir dir;
    EXPECT_EQ(開始フォルダ(dir.path()), QDir(dir.path()).absolutePath());
    EXPECT_EQ(開始フォルダ(dir.filePath(QStringLiteral("nothing-yet.txt"))),
              QDir(dir.path()).absolutePath());
    EXPECT_EQ(開始フォルダ(dir.filePath(QStringLiteral("missing/log.txt"))), QString());
    EXPECT_EQ(開始フォルダ(QString()), QString());
    EXPECT_EQ(開始フォルダ(QStringLiteral("C:\\Kelvo\\転送ログ.txt")), QString());
}

} // namespace
} // namespace kelvo
