// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/about_window.h"
#include "about/window_geometry.h"
#include "kelvo_instance.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace kelvo;
using namespace kelvo::test;

namespace {

int openAboutWindows() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<AboutWindow*>(w) && w->isVisible())
            ++count;
    return count;
}

void runDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class AboutTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (opener.window())
            opener.window()->close();
        runDeferredDeletes();
    }
    AboutOpener opener;
};

} // namespace

TEST_F(AboutTest, CarriesTheTitleWithTheFullWidthVersionAndItsLines) {
    AboutWindow* about = opener.表示();
    EXPECT_EQ(about->windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_TRUE(about->lblTitle->text().startsWith(QStringLiteral("Kelvo")));
    EXPECT_TRUE(about->lblTitle->text().endsWith(QStringLiteral("３．０")));
    EXPECT_FALSE(about->lblTitle->text().contains(QStringLiteral("3.0")));
    EXPECT_FALSE(about->lblDisclaimer->text().isEmpty());
    EXPECT_FALSE(about->Label1->text().isEmpty());
    EXPECT_TRUE(about->Label2->text().contains(QStringLiteral("https://")));
    EXPECT_EQ(about->cmdOK->text(), QStringLiteral("OK"));
    ASSERT_FALSE(about->picIcon->pixmap().isNull());
    for (QFrame* line : about->Line1)
        EXPECT_EQ(line->frameShape(), QFrame::HLine);
}

TEST_F(AboutTest, IsSizedInTwipsCentredRoundedAndNotModal) {
    AboutWindow* about = opener.表示();
    EXPECT_EQ(about->width(), twipsToPixels(6300, about->logicalDpiX()));
    EXPECT_EQ(about->height(), twipsToPixels(4200, about->logicalDpiY()));
    const QRect screen = about->screen()->geometry();
    EXPECT_EQ(about->pos(), QPoint(screen.x() + (screen.width() - about->width()) / 2,
                                   screen.y() + (screen.height() - about->height()) / 2));
    EXPECT_FALSE(about->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(about->mask().contains(QPoint(about->width() / 2, about->height() / 2)));
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(AboutTest, ChoosingItAgainShowsTheSameSingleWindow) {
    AboutWindow* first = opener.表示();
    first->hide();
    AboutWindow* second = opener.表示();
    EXPECT_EQ(first, second);
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(openAboutWindows(), 1);
}

TEST_F(AboutTest, OkClosesItAndTheNextChoiceOpensItAfresh) {
    AboutWindow* about = opener.表示();
    QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
    runDeferredDeletes();
    EXPECT_EQ(opener.window(), nullptr);
    EXPECT_EQ(openAboutWindows(), 0);
    EXPECT_TRUE(opener.表示()->isVisible());
    EXPECT_EQ(openAboutWindows(), 1);
}

TEST_F(AboutTest, TheMenuItemOpensOneWindowWhileTheMainWindowStaysUsable) {
    QTemporaryDir dir;
    VirtualClock clock;
    KelvoInstance kelvo(dir.path(), clock);
    MainForm& w = *kelvo.window;
    w.hooks.バージョン表示 = [this] { opener.表示(); };
    w.Form_Load();
    w.show();
    w.mnuバージョン->trigger();
    w.mnuバージョン->trigger();
    EXPECT_EQ(openAboutWindows(), 1);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
