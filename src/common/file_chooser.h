// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

class QWidget;

namespace kelvo {

// A file type the chooser offers: what the user reads, and the pattern it stands for.
struct FileFilter {
    QString description; // "ﾃｷｽﾄﾌｧｲﾙ(*.TXT)"
    QString pattern;     // "*.txt"
};

// The common file chooser: a save dialog owned by the given window, offering the filter and
// starting in the folder of the given path (the path's own file is not preselected). It
// accepts only a file that exists in a folder that exists and asks nothing about replacing
// it. Returns the chosen path, or the empty text when the user cancels.
QString ファイル選択ダイアログ(QWidget* owner, const FileFilter& filter,
                               const QString& initialPath);

// The folder the chooser starts in for a path: the path itself when it is a folder, else the
// folder that holds it; empty when the path is relative or that folder does not exist.
QString 開始フォルダ(const QString& initialPath);

} // namespace kelvo
