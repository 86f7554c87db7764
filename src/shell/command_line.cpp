// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/command_line.h"

namespace kelvo {

CommandLine コマンドライン解析(const QString& text, int maxArguments) {
    CommandLine result;
    QStringList args(std::max(0, maxArguments) + 1);
    int count = 0;
    bool inside = false;
    for (QChar ch : text) {
        if (ch == u' ' || ch == u'\t') {
            inside = false;
            continue;
        }
        if (!inside) {
            if (count == maxArguments)
                break;
            ++count;
            inside = true;
        }
        args[count] += ch;
    }
    args.resize(count + 1);
    result.サイレント起動 = args.at(count).toUpper() == QLatin1String("/S");
    result.引数 = args;
    return result;
}

} // namespace kelvo
