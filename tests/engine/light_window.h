// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"
#include "common/window_port.h"
#include "shell/log_file.h"
#include "shell/monitor.h"

#include <QHash>
#include <QStringList>
#include <functional>

namespace kelvo::test {

// The main window for long runs: the monitor's lines and the panels' latest texts only, so a
// week of two-second turns costs no memory of its own.
class LightWindow final : public WindowPort {
public:
    explicit LightWindow(const Clock& clock) : 時計(clock) {}

    void setPanelText(const QString& key, const QString& text) override { panels[key] = text; }
    QString panelText(const QString& key) const override { return panels.value(key); }
    void モニター行追加(const QString& message, bool = true) override {
        monitor.append(モニター行(時計.now(), message));
        if (onLine)
            onLine(message);
    }
    void エラー行追加(const QString& description, int number) override {
        モニター行追加(エラーメッセージ(description, number));
    }
    int モニター行数() const override { return static_cast<int>(monitor.size()); }
    void ログファイル書込(const QString& path) override {
        kelvo::ログファイル書込(path, monitor, 時計.now(), *this);
    }
    MsgResult messageBox(const QString& text, MsgButtons buttons, const QString&) override {
        messages << text;
        return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Yes;
    }
    void beep() override {}

    // The messages of the lines with an error, without their time.
    QStringList errorMessages() const {
        QStringList out;
        for (const QString& line : monitor)
            if (line.contains(QStringLiteral("エラー！「")))
                out << line.mid(QStringLiteral("   hh:mm    ").size());
        return out;
    }

    QHash<QString, QString> panels;
    QStringList monitor;
    QStringList messages;
    // Sees every message as it is added (error lines as their whole message).
    std::function<void(const QString&)> onLine;

private:
    const Clock& 時計;
};

} // namespace kelvo::test
