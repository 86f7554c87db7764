// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/desktop_options.h"

#include "common/paths.h"

#include <QFile>
#include <QRegularExpression>

namespace kelvo {
namespace {

// A file this size is no hand-written desktop.ini; nothing of it is read.
constexpr qint64 k最大バイト数 = 64 * 1024;

KelvoError 行の誤り(const QString& path, int number, const QString& what) {
    return KelvoError(errnum::InvalidFormat,
                      path + QStringLiteral("の%1行目：").arg(number) + what);
}

// A key is named only when it looks like one: the line may hold anything.
QString キー表記(const QString& key) {
    static const QRegularExpression keyLike(QStringLiteral("^[a-z][a-z0-9_-]{0,31}$"));
    return keyLike.match(key).hasMatch() ? QStringLiteral("「%1」").arg(key) : QString();
}

} // namespace

QString デスクトップ設定パス() {
    return userConfigDirectory() + QStringLiteral("/desktop.ini");
}

DesktopOptions デスクトップ設定読込(const QString& path) {
    DesktopOptions options;
    QFile file(path);
    if (!file.exists())
        return options;
    if (!file.open(QIODevice::ReadOnly) || file.size() > k最大バイト数) {
        options.誤り << KelvoError(errnum::InvalidFormat,
                                   path + QStringLiteral("：ファイルを読み込めません"));
        return options;
    }
    const QStringList lines = QString::fromUtf8(file.read(k最大バイト数)).split(u'\n');
    bool inDesktop = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        const int number = i + 1;
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            inDesktop = line.mid(1, line.size() - 2).trimmed() == QLatin1String("desktop");
            continue;
        }
        if (!inDesktop)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        const QString key = line.left(eq).trimmed().toLower();
        bool* flag = key == QLatin1String("tray")            ? &options.トレイ
                     : key == QLatin1String("notifications") ? &options.通知
                                                             : nullptr;
        if (eq < 0 || !flag) {
            options.誤り << 行の誤り(path, number,
                                     eq < 0 ? QStringLiteral("「=」がありません")
                                            : QStringLiteral("不明なキー") + キー表記(key));
            continue;
        }
        const QString value = line.mid(eq + 1).trimmed().toLower();
        if (value == QLatin1String("yes") || value == QLatin1String("no"))
            *flag = value == QLatin1String("yes");
        else {
            *flag = true;
            options.誤り << 行の誤り(path, number,
                                     key + QStringLiteral("の値が正しくありません（yesかno）"));
        }
    }
    return options;
}

} // namespace kelvo
