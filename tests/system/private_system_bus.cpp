#include "private_system_bus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <sys/prctl.h>

namespace kelvo::test {

namespace {

const QString kSocketName = QStringLiteral("system_bus_socket");
const QString kDirPrefix = QStringLiteral("kelvo-bus-");

QString configuration(const QString& socketPath) {
    return QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                          "Configuration 1.0//EN\"\n"
                          " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                          "<busconfig>\n"
                          "  <type>kelvo-test</type>\n"
                          "  <listen>unix:path=%1</listen>\n"
                          "  <auth>EXTERNAL</auth>\n"
                          "  <policy context=\"default\">\n"
                          "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                          "    <allow eavesdrop=\"true\"/>\n"
                          "    <allow own=\"*\"/>\n"
                          "  </policy>\n"
                          "</busconfig>\n")
        .arg(socketPath.toHtmlEscaped());
}

} // namespace

void startTiedToParent(QProcess& process, const QString& program, const QStringList& arguments) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process.start(program, arguments);
}

PrivateSystemBus::~PrivateSystemBus() {
    stop();
}

bool PrivateSystemBus::start(QString* error) {
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    if (!dir.isValid())
        return fail(QStringLiteral("no temporary directory"));
    const QString configPath = dir.filePath(QStringLiteral("bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(configuration(dir.filePath(kSocketName)).toUtf8()) < 0)
        return fail(QStringLiteral("cannot write ") + configPath);
    config.close();

    startTiedToParent(daemon, QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                       QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!daemon.waitForStarted(5000))
        return fail(QStringLiteral("dbus-daemon did not start: ") + daemon.errorString());
    while (!daemon.canReadLine())
        if (!daemon.waitForReadyRead(5000))
            return fail(QStringLiteral("dbus-daemon printed no address: ") +
                        QString::fromLocal8Bit(daemon.readAllStandardError()));
    接続先 = QString::fromUtf8(daemon.readLine()).trimmed();
    if (!isPrivateAddress(接続先))
        return fail(QStringLiteral("unexpected bus address ") + 接続先);
    return true;
}

void PrivateSystemBus::stop() {
    if (daemon.state() != QProcess::NotRunning) {
        daemon.terminate();
        if (!daemon.waitForFinished(3000)) {
            daemon.kill();
            daemon.waitForFinished(3000);
        }
    }
    接続先.clear();
}

bool PrivateSystemBus::isPrivateAddress(const QString& address) {
    static const QString prefix = QStringLiteral("unix:path=");
    if (!address.startsWith(prefix))
        return false;
    const QString path = address.mid(prefix.size()).section(u',', 0, 0);
    const QFileInfo socket(path);
    return socket.fileName() == kSocketName && socket.dir().dirName().startsWith(kDirPrefix) &&
           QFileInfo(socket.dir().absolutePath()).dir() == QDir(QDir::tempPath()) &&
           !path.startsWith(QLatin1String("/run/")) && !path.startsWith(QLatin1String("/var/run/"));
}

} // namespace kelvo::test
