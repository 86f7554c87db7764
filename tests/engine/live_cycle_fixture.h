// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"
#include "common/yielding_wait.h"
#include "engine/forwarding_cycle.h"
#include "engine/push_watch.h"
#include "engine/schedule.h"
#include "fake_cycle_window.h"
#include "fake_system_control.h"
#include "mail/push_line.h"
#include "settings/settings_record.h"

#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace kelvo::test {

// The whole cycle on the real clock and event loop, with push, over the engine of a test on
// the suite's servers (Base: ServerPassTest or a fixture built on it).
template <class Base> class LiveCycleTest : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        if (this->IsSkipped())
            return;
        this->設定.同時接続フラグ = QStringLiteral("0");
        this->設定.設定ファイルパス = this->dir.filePath(QStringLiteral("setting.ini"));
        live.mapSess = this->ctx.mapSess;
        live.mapMess = this->ctx.mapMess;
        live.リストファイルパス = this->ctx.リストファイルパス;
        live.設定ディレクトリ = this->dir.path();
        cycleWindow.addressBox = this->phone;
    }
    // The push line and watch over the profiles file as it is now.
    void watchProfiles() {
        watch.reset(); // before the line it listens to
        line = std::make_unique<ProfilePushLine>(this->mail->profilesPath);
        this->mail->backend->borrowFrom(*line);
        watch = std::make_unique<PushWatch>(*line, realClock, waiter, this->window);
        cycle.プッシュ = watch.get();
    }
    // Runs the cycle until done() holds or the seconds have passed; the seconds it ran.
    double runUntil(const std::function<bool()>& done, int seconds) {
        EXPECT_TRUE(設定書込(this->設定));
        QElapsedTimer t;
        t.start();
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (done() || t.elapsed() > seconds * 1000)
                this->状態.停止要求フラグ = 1;
        });
        check.start(50);
        自動転送開始(cycle);
        return static_cast<double>(t.elapsed()) / 1000.0;
    }

    SystemClock realClock;
    EventLoopWaiter waiter;
    EngineContext live{this->設定, this->状態, this->window, realClock,
                       waiter,     this->exit, QString()};
    FakeSystemControl sys;
    FakeCycleWindow cycleWindow;
    WeeklySchedule schedule{realClock};
    CycleContext cycle{live, sys, cycleWindow, schedule};
    std::unique_ptr<ProfilePushLine> line;
    std::unique_ptr<PushWatch> watch; // after the line it listens to
};

} // namespace kelvo::test
