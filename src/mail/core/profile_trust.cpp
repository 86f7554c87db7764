// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "profile_trust.h"

#include "mail/core/mail_error.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <iterator>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kelvo {

namespace {

// How many links a path may pass through, as the system allows.
constexpr int maxLinks = 40;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    int get() const { return fd; }

private:
    int fd;
};

QString systemError(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QString shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

[[noreturn]] void replaced(const QString& path) {
    throw mailError(mailerr::ProfileInvalid,
                    path + QStringLiteral("は読み込み中に置き換えられました"));
}

// The error for what another could change: the file or link itself, or the folder holding it.
[[noreturn]] void insecure(Changer cause, const QString& path, const QByteArray& folder = {}) {
    if (cause == Changer::Owner)
        throw mailError(mailerr::ProfileInsecure,
                        path +
                            (folder.isEmpty() ? QString()
                                              : QStringLiteral("のフォルダー「") + shown(folder) +
                                                    u'」') +
                            QStringLiteral("は他のユーザーの所有です"));
    throw mailError(mailerr::ProfileInsecure,
                    path + (folder.isEmpty() ? QString() : QStringLiteral("のフォルダー")) +
                        QStringLiteral("は他のユーザーが書き込めます（「chmod go-w ") +
                        (folder.isEmpty() ? path : shown(folder)) + QStringLiteral("」で直せます）"));
}

bool trustedOwner(uid_t owner) {
    return owner == ::geteuid() || owner == 0;
}

// Runs a lookup of the reentrant kind with a buffer that grows until the entry fits.
template <typename Entry, typename Lookup> bool lookUp(Entry& entry, Lookup lookup) {
    static thread_local std::vector<char> buffer(16384);
    for (;;) {
        Entry* found = nullptr;
        const int err = lookup(&entry, buffer.data(), buffer.size(), &found);
        if (err == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return err == 0 && found != nullptr;
    }
}

// Follows the path a component at a time, as the system does, and returns where it leads;
// meets each symbolic link on the way with the folder that holds it (both without links).
QByteArray followLinks(const QByteArray& path,
                       const std::function<void(const QByteArray& link, const QByteArray& folder,
                                                const struct stat& linkStat)>& meet) {
    QByteArray done;
    if (!path.startsWith('/')) {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) == nullptr)
            replaced(shown(path));
        done = cwd;
        if (done == "/")
            done.clear();
    }
    // Components still to go, the next one last.
    QList<QByteArray> ahead = path.split('/');
    std::reverse(ahead.begin(), ahead.end());
    int links = 0;
    while (!ahead.isEmpty()) {
        const QByteArray part = ahead.takeLast();
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            done.truncate(std::max<qsizetype>(0, done.lastIndexOf('/')));
            continue;
        }
        const QByteArray next = done + '/' + part;
        struct stat st {};
        if (::lstat(next.constData(), &st) != 0)
            replaced(shown(path));
        if (!S_ISLNK(st.st_mode)) {
            done = next;
            continue;
        }
        meet(next, done.isEmpty() ? QByteArray("/") : done, st);
        QByteArray target(PATH_MAX, '\0');
        const ssize_t size = ::readlink(next.constData(), target.data(), target.size());
        if (size <= 0 || size >= target.size() || ++links > maxLinks)
            replaced(shown(path));
        target.truncate(size);
        if (target.startsWith('/'))
            done.clear();
        const QList<QByteArray> parts = target.split('/');
        std::copy(parts.rbegin(), parts.rend(), std::back_inserter(ahead));
    }
    return done.isEmpty() ? QByteArray("/") : done;
}

} // namespace

bool isPrivateGroup(gid_t group, uid_t owner) {
    struct group gr {};
    struct passwd user {};
    if (!lookUp(gr, [group](auto* e, char* b, size_t n, auto** r) {
            return ::getgrgid_r(group, e, b, n, r);
        }))
        return false;
    const QByteArray groupMembers = [&] {
        QByteArray names;
        for (char** m = gr.gr_mem; *m != nullptr; ++m)
            names += QByteArray(*m) + '\0';
        return names;
    }();
    if (!lookUp(user, [owner](auto* e, char* b, size_t n, auto** r) {
            return ::getpwuid_r(owner, e, b, n, r);
        }))
        return false;
    const QByteArray ownerName = user.pw_name;
    bool member = false;
    for (const QByteArray& name : groupMembers.split('\0')) {
        if (name.isEmpty())
            continue;
        if (name != ownerName)
            return false;
        member = true;
    }
    // Whose primary group it is: only the whole user list tells. Its walk is one per process.
    static std::mutex walk;
    const std::lock_guard lock(walk);
    ::setpwent();
    struct passwd entry {};
    while (lookUp(entry,
                  [](auto* e, char* b, size_t n, auto** r) { return ::getpwent_r(e, b, n, r); })) {
        if (entry.pw_gid != group)
            continue;
        if (entry.pw_uid != owner) {
            member = false;
            break;
        }
        member = true;
    }
    ::endpwent();
    return member;
}

Changer changerOf(const struct stat& st, bool folder) {
    if (!trustedOwner(st.st_uid))
        return Changer::Owner;
    const bool othersWrite =
        (st.st_mode & S_IWOTH) || ((st.st_mode & S_IWGRP) && !isPrivateGroup(st.st_gid, st.st_uid));
    return othersWrite && !(folder && (st.st_mode & S_ISVTX)) ? Changer::OthersWrite
                                                              : Changer::None;
}

TrustedFile readTrusted(const QString& path, int limitMiB) {
    const qint64 limit = qint64(limitMiB) << 20;
    const QByteArray name = QFile::encodeName(path);
    // Not blocking on a pipe or a device put in the file's place.
    const Descriptor fd(::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        throw mailError(mailerr::ProfileInvalid, systemError(errno) + QStringLiteral(": ") + path);
    struct stat file {};
    if (::fstat(fd.get(), &file) != 0)
        throw mailError(mailerr::ProfileInvalid, systemError(errno) + QStringLiteral(": ") + path);
    if (!S_ISREG(file.st_mode))
        throw mailError(mailerr::ProfileInvalid,
                        path + QStringLiteral("は通常のファイルではありません"));
    if (const Changer c = changerOf(file, false); c != Changer::None)
        insecure(c, path);

    // Whoever can change a link on the way, or its folder, chooses the file read.
    const QByteArray real = followLinks(
        name, [](const QByteArray& link, const QByteArray& folder, const struct stat& linkStat) {
            if (!trustedOwner(linkStat.st_uid))
                insecure(Changer::Owner, shown(link));
            struct stat dir {};
            if (::stat(folder.constData(), &dir) != 0)
                replaced(shown(link));
            if (const Changer c = changerOf(dir, true); c != Changer::None)
                insecure(c, shown(link), folder);
        });
    // The folder that holds what was opened, checked while it still holds it.
    const qsizetype slash = real.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray("/") : real.left(slash);
    const Descriptor dirFd(::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat dir {};
    struct stat there {};
    if (dirFd.get() < 0 || ::fstat(dirFd.get(), &dir) != 0 ||
        ::fstatat(dirFd.get(), real.mid(slash + 1).constData(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
        there.st_dev != file.st_dev || there.st_ino != file.st_ino)
        replaced(path);
    if (const Changer c = changerOf(dir, true); c != Changer::None)
        insecure(c, path, folder);

    // One byte past the limit tells a file that is too long.
    TrustedFile out{QByteArray(), file.st_mode};
    QByteArray& bytes = out.bytes;
    bytes.resize(std::min<qint64>(limit + 1, std::max<qint64>(file.st_size, 0) + 1));
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > limit)
                break;
            bytes.resize(std::min<qint64>(limit + 1, got * 2 + 4096));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw mailError(mailerr::ProfileInvalid,
                            systemError(errno) + QStringLiteral(": ") + path);
        if (n == 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    if (got > limit)
        throw mailError(mailerr::ProfileInvalid,
                        path + QStringLiteral("は%1MBを超えています").arg(limitMiB));
    return out;
}

} // namespace kelvo
