// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The system tests' own helper program.
//   system_test_helper standins ADDRESS   serve the stand-in services on a private bus
//   system_test_helper private-bus        start a private bus with the stand-ins on it and
//                                         print "DBUS_SYSTEM_BUS_ADDRESS=..." for scripts
//   system_test_helper record-args FILE ARG...   write the arguments, one a line, to FILE
// The serving modes run until standard input closes or they are terminated.
#include "private_system_bus.h"
#include "standins.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int quitPipe[2] = {-1, -1};

void onTerminate(int) {
    const char byte = 0;
    [[maybe_unused]] const auto n = ::write(quitPipe[1], &byte, 1);
}

// Quits the event loop when stdin reaches its end or SIGTERM/SIGINT arrives.
void quitWhenTold(QCoreApplication& app) {
    if (::pipe(quitPipe) == 0) {
        std::signal(SIGTERM, onTerminate);
        std::signal(SIGINT, onTerminate);
        auto* quitNotifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(quitNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }
    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QObject::connect(input, &QSocketNotifier::activated, &app, [&app, input] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input->setEnabled(false);
            app.quit();
        }
    });
}

int serve(QCoreApplication& app, const QString& address, bool announceAddress) {
    kelvo::test::StandIns standIns;
    QString error;
    if (!kelvo::test::serveStandIns(address, standIns, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    if (announceAddress)
        std::printf("DBUS_SYSTEM_BUS_ADDRESS=%s\n", qPrintable(address));
    else
        std::printf("ready\n");
    std::fflush(stdout);
    quitWhenTold(app);
    return app.exec();
}

int recordArguments(const QStringList& arguments) {
    if (arguments.isEmpty())
        return 2;
    QSaveFile file(arguments.first());
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    for (const QString& argument : arguments.mid(1))
        file.write(argument.toUtf8() + '\n');
    return file.commit() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("record-args"))
        return recordArguments(args.mid(1));
    if (mode == QLatin1String("standins") && args.size() == 2)
        return serve(app, args[1], false);
    if (mode == QLatin1String("private-bus")) {
        kelvo::test::PrivateSystemBus bus;
        QString error;
        if (!bus.start(&error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 2;
        }
        return serve(app, bus.address(), true);
    }
    std::fprintf(stderr, "usage: system_test_helper standins ADDRESS | private-bus | "
                         "record-args FILE ARG...\n");
    return 2;
}
