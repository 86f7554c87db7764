// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"
#include "common/window_port.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <functional>

namespace kelvo {

// The main window of the service, which has no widgets: the panels' texts and the monitor's
// lines are kept for the log file and given on as they change (the journal, the
// notifications), and a message box, which nobody could answer, becomes a monitor line and
// counts as answered with OK. A close request (a QCloseEvent) ends Kelvo as the window's does,
// after the mail call in progress.
class HeadlessWindow final : public QObject, public WindowPort {
    Q_OBJECT
public:
    explicit HeadlessWindow(const Clock& clock, QObject* parent = nullptr);

    // The unload handler, run by a close request.
    std::function<void()> 閉じる時;

    void setPanelText(const QString& key, const QString& text) override;
    QString panelText(const QString& key) const override { return パネル.value(key); }
    void モニター行追加(const QString& message, bool widen = true) override;
    void エラー行追加(const QString& description, int number) override;
    int モニター行数() const override { return static_cast<int>(行.size()); }
    void ログファイル書込(const QString& path) override;
    MsgResult messageBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                         const QString& title = kAppTitle) override;
    void beep() override {}

    const QStringList& lines() const { return 行; }

signals:
    // As the desktop window's: for the journal and the notifications.
    void panelChanged(const QString& key, const QString& text);
    void lineAdded(const QString& line, bool error, int number);

protected:
    bool event(QEvent* event) override;

private:
    void 行追加(const QString& message, bool error, int number);

    const Clock& 時計;
    QHash<QString, QString> パネル;
    QStringList 行;
};

} // namespace kelvo
