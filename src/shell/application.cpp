#include "shell/application.h"

#include "common/clock.h"
#include "common/paths.h"
#include "common/ui_port.h"
#include "common/yielding_wait.h"
#include "shell/app_context.h"
#include "shell/main_form.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <unistd.h>

namespace kelvo {

void ProcessExit::endProgram() {
    std::fflush(nullptr);
    ::_exit(0);
}

int runKelvo(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelvo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelvo"));
    QApplication::setApplicationVersion(QStringLiteral(KELVO_VERSION));

    // Standard buttons and dialogs in Japanese, as the rest of the program.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    SystemClock clock;
    EventLoopWaiter waiter;
    ProcessExit exit;
    QtUiPort ui;
    AppContext context(clock, waiter, exit, ui);
    context.programDirectory = プログラムディレクトリ();
    context.settingsDirectory = 設定ディレクトリ(context.programDirectory);
    const QStringList args = QApplication::arguments();
    context.commandLineText = args.mid(1).join(u' ');

    MainForm window(context);
    window.Form_Load();
    window.show();
    return app.exec();
}

} // namespace kelvo
