// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace kelvo::test {

// Runs the action on the modal window of type W as soon as one is up, so that a test can
// drive a dialog that runs its own event loop. Gives up after a few seconds.
template <typename W> void whenModal(std::function<void(W*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, action] {
        W* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if (!w && ++*tries < 1000)
            return;
        timer->stop();
        timer->deleteLater();
        if (w)
            action(w);
    });
    timer->start();
}

} // namespace kelvo::test
