// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/splash_window.h"
#include "about/window_geometry.h"
#include "kelvo_instance.h"
#include "shell/application.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace kelvo;
using namespace kelvo::test;

namespace {

// What the window looked like when the start command was called.
struct StartSeen {
    int calls = 0;
    bool splashVisible = true;
    bool windowVisible = false;
    int runState = 0;
    QString panel;
    qint64 atMs = -1;
};

class SplashTest : public ::testing::Test {
protected:
    void start(const QString& commandLine) {
        kelvo = std::make_unique<KelvoInstance>(dir.path(), clock, commandLine);
        MainForm& w = *kelvo->window;
        w.hooks.自動転送開始 = [this, &w] {
            ++seen.calls;
            seen.splashVisible = splash->isVisible();
            seen.windowVisible = w.isVisible();
            seen.runState = w.実行状態();
            seen.panel = w.panelText(kPanel次の接続まで);
            seen.atMs = clock.monotonicMs();
        };
        splash = std::make_unique<SplashWindow>(clock, 起動手順(w));
    }
    // Shows the splash and lets the event loop run its activation step.
    void showSplash() {
        splash->show();
        QCoreApplication::processEvents();
    }
    QDateTime after(int ms) const { return clock.now().addMSecs(ms); }
    MainForm& window() { return *kelvo->window; }

    QTemporaryDir dir;
    VirtualClock clock;
    std::unique_ptr<KelvoInstance> kelvo;
    std::unique_ptr<SplashWindow> splash;
    StartSeen seen;
};

QString plainText(const QLabel* label) {
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

} // namespace

TEST_F(SplashTest, CarriesTheLogoTheNameWithItsVersionAndTheMakerLines) {
    start({});
    EXPECT_EQ(plainText(splash->lblProductName), QStringLiteral("Kelvover3.0"));
    ASSERT_FALSE(splash->imgLogo->pixmap().isNull());
    EXPECT_GT(splash->imgLogo->pixmap().width(), 100);
    EXPECT_FALSE(splash->lbl製作->text().isEmpty());
    EXPECT_FALSE(splash->lbl作者->text().isEmpty());
    for (QWidget* child :
         {static_cast<QWidget*>(splash->imgLogo), static_cast<QWidget*>(splash->lblProductName),
          static_cast<QWidget*>(splash->lbl製作), static_cast<QWidget*>(splash->lbl作者)})
        EXPECT_EQ(child->parentWidget(), splash->Frame1);
    // Closing it must never end the program before the main window is up.
    EXPECT_FALSE(splash->testAttribute(Qt::WA_QuitOnClose));
}

TEST_F(SplashTest, IsSizedInTwipsCentredAndRounded) {
    start({});
    showSplash();
    EXPECT_EQ(splash->width(), twipsToPixels(7380, splash->logicalDpiX()));
    EXPECT_EQ(splash->height(), twipsToPixels(4245, splash->logicalDpiY()));
    const QRect screen = splash->screen()->geometry();
    EXPECT_EQ(splash->pos(), QPoint(screen.x() + (screen.width() - splash->width()) / 2,
                                    screen.y() + (screen.height() - splash->height()) / 2));
    const QRegion outline = splash->mask();
    EXPECT_FALSE(outline.contains(QPoint(0, 0)));
    EXPECT_TRUE(outline.contains(QPoint(splash->width() / 2, splash->height() / 2)));
}

TEST_F(SplashTest, ShowsTheMainWindowAfterHalfASecondAndClosesAfterOne) {
    start({});
    bool shownAt400 = true, shownAt600 = false, splashAt600 = false;
    clock.at(after(400), [&] { shownAt400 = window().isVisible(); });
    clock.at(after(600), [&] {
        shownAt600 = window().isVisible();
        splashAt600 = splash->isVisible();
    });
    bool splashUpDuringWelcome = false;
    kelvo->ui.whileShown = [&](const QString&) { splashUpDuringWelcome = splash->isVisible(); };

    showSplash();

    EXPECT_TRUE(splash->活性化済み());
    EXPECT_FALSE(shownAt400);
    EXPECT_TRUE(shownAt600);
    EXPECT_TRUE(splashAt600);
    EXPECT_EQ(clock.monotonicMs(), 1000);
    EXPECT_FALSE(splash->isVisible());
    EXPECT_TRUE(window().isVisible());
    // The main window's load handler ran: first start greets, the panel reads stopped.
    ASSERT_EQ(kelvo->ui.messages.size(), 1u);
    EXPECT_TRUE(kelvo->ui.messages[0].text.contains(QStringLiteral("３．はじめてお使いの方は")));
    EXPECT_TRUE(splashUpDuringWelcome);
    EXPECT_EQ(window().panelText(kPanel次の接続まで), QStringLiteral("停止中"));
    EXPECT_EQ(window().実行状態(), 1);
    EXPECT_EQ(seen.calls, 0);
}

TEST_F(SplashTest, SilentStartClosesTheSplashAndStartsForwarding) {
    for (const QString& line :
         {QStringLiteral("/S"), QStringLiteral("/s"), QStringLiteral("x /S")}) {
        SCOPED_TRACE(line.toStdString());
        seen = {};
        start(line);
        const qint64 begin = clock.monotonicMs();
        showSplash();
        EXPECT_EQ(kelvo->ctx.状態.サイレント起動フラグ, 1);
        ASSERT_EQ(seen.calls, 1);
        EXPECT_EQ(seen.atMs - begin, 1000);
        EXPECT_FALSE(seen.splashVisible);
        EXPECT_TRUE(seen.windowVisible);
        EXPECT_EQ(seen.runState, 1);
        EXPECT_EQ(seen.panel, QStringLiteral("停止中"));
        EXPECT_FALSE(splash->isVisible());
    }
}

TEST_F(SplashTest, NoSilentStartWhenTheSwitchIsNotLast) {
    start(QStringLiteral("/S x"));
    showSplash();
    EXPECT_EQ(seen.calls, 0);
    EXPECT_TRUE(window().isVisible());
}

TEST_F(SplashTest, AKeyInTheFirstHalfSecondClosesItAndTheStartGoesOn) {
    start(QStringLiteral("/S"));
    bool closedByKey = false;
    clock.at(after(200), [&] {
        QTest::keyClick(splash.get(), Qt::Key_Space);
        closedByKey = !splash->isVisible();
    });
    showSplash();
    EXPECT_TRUE(closedByKey);
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(seen.calls, 1);
}

TEST_F(SplashTest, AClickOnTheFrameClosesItAndTheMainWindowStillComes) {
    start({});
    bool closedByClick = false;
    clock.at(after(300), [&] {
        QTest::mouseClick(splash->Frame1, Qt::LeftButton);
        closedByClick = !splash->isVisible();
    });
    showSplash();
    EXPECT_TRUE(closedByClick);
    EXPECT_TRUE(window().isVisible());
}

TEST_F(SplashTest, TheActivationStepRunsOnlyOnce) {
    start(QStringLiteral("/S"));
    showSplash();
    const qint64 after = clock.monotonicMs();
    showSplash();
    splash->Form_Activate();
    EXPECT_EQ(clock.monotonicMs(), after);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(kelvo->ui.messages.size(), 1u);
}

TEST_F(SplashTest, AFailingStepDoesNotKeepTheSplashUp) {
    SplashSteps steps;
    bool started = false;
    steps.メインフォーム表示 = [] { throw std::runtime_error("broken"); };
    steps.サイレント起動 = [] { return true; };
    steps.自動転送開始 = [&] { started = true; };
    SplashWindow lone(clock, steps);
    lone.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(started);
    EXPECT_FALSE(lone.isVisible());
}
