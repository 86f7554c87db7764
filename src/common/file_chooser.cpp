// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace kelvo {

QString 開始フォルダ(const QString& initialPath) {
    const QFileInfo info(QDir::fromNativeSeparators(initialPath));
    // A relative path (or one written on another system) names no folder worth starting in.
    if (initialPath.isEmpty() || info.isRelative())
        return QString();
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    return QFileInfo(folder).isDir() ? folder : QString();
}

QString ファイル選択ダイアログ(QWidget* owner, const FileFilter& filter,
                               const QString& initialPath) {
    QFileDialog dialog(owner);
    // Qt's own dialog: the desktop's save dialogs do not all keep to "the file must exist".
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(filter.description + QStringLiteral(" (") + filter.pattern + u')');
    const QString folder = 開始フォルダ(initialPath);
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

} // namespace kelvo
