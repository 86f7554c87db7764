// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Ports for running the engine outside the program, in benchmarks and fuzz targets: a window
// that only keeps what it is told, a clock that moves only when waited on, and an end of the
// program that is merely counted.

#include "common/clock.h"
#include "common/program_exit.h"
#include "common/window_port.h"
#include "common/yielding_wait.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <map>

namespace kelvo::quiet {

class Window final : public WindowPort {
public:
    void setPanelText(const QString& key, const QString& text) override {
        panels.insert(key, text);
    }
    QString panelText(const QString& key) const override { return panels.value(key); }
    void モニター行追加(const QString& message, bool = true) override { monitor.append(message); }
    void エラー行追加(const QString& description, int number) override {
        ++errors;
        monitor.append(エラーメッセージ(description, number));
    }
    int モニター行数() const override { return static_cast<int>(monitor.size()); }
    void ログファイル書込(const QString&) override {}
    MsgResult messageBox(const QString&, MsgButtons buttons, const QString&) override {
        return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::No;
    }
    void beep() override {}

    QHash<QString, QString> panels;
    QStringList monitor;
    int errors = 0;
};

// Stands at the time it was given; a wait moves it on at once and is recorded.
class StillClock final : public Clock, public Waiter {
public:
    explicit StillClock(QDateTime start = QDateTime::currentDateTime()) : at(std::move(start)) {}
    QDateTime now() const override { return at.addMSecs(elapsedMs); }
    qint64 monotonicMs() const override { return elapsedMs; }
    void wait(double seconds) override {
        if (seconds > 0)
            elapsedMs += static_cast<qint64>(seconds * 1000);
        ++waits[seconds];
    }
    void processEvents() override {}

    std::map<double, int> waits; // how many waits of each length were asked for, in seconds

private:
    QDateTime at;
    qint64 elapsedMs = 0;
};

class Exit final : public ProgramExit {
public:
    void endProgram() override { ++ends; }
    int ends = 0;
};

} // namespace kelvo::quiet
