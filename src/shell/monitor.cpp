// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/monitor.h"

namespace kelvo {

QString モニター行(const QDateTime& now, const QString& message) {
    return QStringLiteral("   ") + now.toString(QStringLiteral("HH:mm")) + QStringLiteral("    ") +
           message;
}

int MonitorModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(行.size());
}

QVariant MonitorModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= 行.size() || role != Qt::DisplayRole)
        return {};
    return 行.at(index.row());
}

void MonitorModel::append(const QString& line) {
    const int row = static_cast<int>(行.size());
    beginInsertRows(QModelIndex(), row, row);
    行.append(line);
    endInsertRows();
}

} // namespace kelvo
