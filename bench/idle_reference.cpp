// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The reference for an idle Kelvo: a bare Qt window whose status bar shows a countdown that
// changes every 2 seconds, as Kelvo's does while it waits between passes.

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("idle reference"));
    window.setCentralWidget(new QListView);
    auto* countdown = new QLabel;
    window.statusBar()->addWidget(countdown);
    window.resize(640, 420);
    window.show();
    int left = 36000;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        left -= 2;
        countdown->setText(QStringLiteral("次の接続まで %1秒").arg(left));
    });
    timer.start(2000);
    return app.exec();
}
