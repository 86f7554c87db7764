// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

namespace kelvo {

struct CommandLine {
    QStringList 引数;             // index 0 stays empty; arguments from index 1
    bool サイレント起動 = false; // the last argument is "/S", in any letter case
};

// Splits the command-line text after the program name at blanks and tabs, taking at most
// maxArguments arguments (scanning stops at the next one), and looks at the last argument
// only for the silent-start switch.
CommandLine コマンドライン解析(const QString& text, int maxArguments = 10);

} // namespace kelvo
