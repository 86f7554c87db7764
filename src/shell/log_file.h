// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QStringList>

namespace kelvo {

class WindowPort;

// Appends one block to the log file: the header "YYYY/MM/DD HH:MMのログファイル", every
// monitor line, and one empty line, each ending with CR LF, in CP932 (a character CP932
// lacks is written as "?"). A new file is readable by its owner only; an existing file keeps
// its mode. On any failure the file is left as it was and one error line goes to the monitor.
void ログファイル書込(const QString& path, const QStringList& monitorLines, const QDateTime& now,
                    WindowPort& window);

} // namespace kelvo
