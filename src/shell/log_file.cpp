// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shell/log_file.h"

#include "common/cp932.h"
#include "common/error.h"
#include "common/error_trap.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo {
namespace {

[[noreturn]] void raiseErrno(int err, const QString& path) {
    throw KelvoError(errnoToNumber(err),
                     QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
}

} // namespace

void ログファイル書込(const QString& path, const QStringList& monitorLines, const QDateTime& now,
                    WindowPort& window) {
    エラートラップ(window, [&] {
        QString text = now.toString(QStringLiteral("yyyy/MM/dd HH:mm")) +
                       QStringLiteral("のログファイル\r\n");
        for (const QString& line : monitorLines)
            text += line + QStringLiteral("\r\n");
        text += QStringLiteral("\r\n");
        const QByteArray bytes = toCp932Lossy(text);

        // One write of the whole block, so a failure leaves no half block behind: a short
        // write is cut back to the old end of the file.
        const QByteArray name = QFile::encodeName(path);
        // The monitor may show what others should not read: a new log is the owner's alone.
        const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            raiseErrno(errno, path);
        struct stat st {};
        const off_t oldEnd = ::fstat(fd, &st) == 0 ? st.st_size : -1;
        qsizetype done = 0;
        int err = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                err = errno;
                break;
            }
            done += n;
        }
        if (err == 0 && ::close(fd) != 0)
            err = errno;
        else if (err != 0) {
            if (done > 0 && oldEnd >= 0 && S_ISREG(st.st_mode))
                (void)::ftruncate(fd, oldEnd);
            ::close(fd);
        }
        if (err != 0)
            raiseErrno(err, path);
    });
}

} // namespace kelvo
