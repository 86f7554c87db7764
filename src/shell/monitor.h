// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/window_port.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QStringList>

namespace kelvo {

// "   hh:mm" + four blanks + the message.
QString モニター行(const QDateTime& now, const QString& message);

// The monitor's lines, oldest first. Lines are only ever appended.
class MonitorModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void append(const QString& line);
    const QStringList& lines() const { return 行; }

private:
    QStringList 行;
};

} // namespace kelvo
