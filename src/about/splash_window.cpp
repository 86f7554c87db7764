// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/splash_window.h"

#include "about/artwork.h"
#include "about/version_text.h"
#include "about/window_geometry.h"
#include "common/error_trap.h"
#include "common/rounded_outline.h"
#include "common/yielding_wait.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace kelvo {
namespace {

const QString kMaker = QStringLiteral("製作：Kelvoプロジェクト");
const QString kAuthor = QStringLiteral("作者：Kelvo開発チーム");

void call(const std::function<void()>& step) {
    if (step)
        エラー無視(step);
}

} // namespace

SplashWindow::SplashWindow(Waiter& w, SplashSteps s, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), waiter(w), steps(std::move(s)) {
    setObjectName(QStringLiteral("frmSplash"));
    // Not "Kelvo": that title belongs to the main window and its message boxes.
    setWindowTitle(kProductName + QStringLiteral("起動中"));
    // Closing the start-up window must never end the program: the main window may not be up
    // yet when a key closes it.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::StrongFocus);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->installEventFilter(this);

    imgLogo = new QLabel(Frame1);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setAlignment(Qt::AlignCenter);

    // The name and the version written one after the other, the version smaller.
    lblProductName = new QLabel(Frame1);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    lblProductName->setTextFormat(Qt::RichText);
    lblProductName->setText(
        QStringLiteral("<span style=\"font-size:20pt; font-weight:bold\">%1</span>"
                       "<span style=\"font-size:12pt\">%2</span>")
            .arg(kProductName, スプラッシュ版表記()));
    lblProductName->setAlignment(Qt::AlignCenter);

    lbl製作 = new QLabel(kMaker, Frame1);
    lbl製作->setObjectName(QStringLiteral("lbl製作"));
    lbl作者 = new QLabel(kAuthor, Frame1);
    lbl作者->setObjectName(QStringLiteral("lbl作者"));
    for (QLabel* label : {lbl製作, lbl作者})
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* inner = new QVBoxLayout(Frame1);
    inner->setContentsMargins(16, 16, 16, 12);
    inner->addWidget(imgLogo, 1);
    inner->addWidget(lblProductName);
    inner->addStretch();
    inner->addWidget(lbl製作);
    inner->addWidget(lbl作者);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(Frame1);

    角丸ウィンドウ(this);
    twipsで配置(*this, 7380, 4245);
    imgLogo->setPixmap(ロゴ画像(QSize(width() * 3 / 4, height() / 2), devicePixelRatioF()));
}

void SplashWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    activateWindow();
    setFocus();
    // The activation step runs once the window is up, from the event loop: a window may
    // never become active without a window manager.
    if (!活性化予定) {
        活性化予定 = true;
        QMetaObject::invokeMethod(
            this, [this] { Form_Activate(); }, Qt::QueuedConnection);
    }
}

void SplashWindow::Form_Activate() {
    if (活性化済み値)
        return;
    活性化済み値 = true;
    waiter.wait(0.5);
    call(steps.メインフォーム表示);
    waiter.wait(0.5);
    bool silent = false;
    エラー無視([&] { silent = steps.サイレント起動 && steps.サイレント起動(); });
    if (silent) {
        close();
        call(steps.自動転送開始);
    }
    close();
}

void SplashWindow::keyPressEvent(QKeyEvent* event) {
    event->accept();
    close();
}

bool SplashWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Frame1 && event->type() == QEvent::MouseButtonRelease) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kelvo
