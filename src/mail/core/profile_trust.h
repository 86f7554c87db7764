// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

struct stat;

namespace kelvo {

// Whoever can change profiles.ini chooses the commands Kelvo runs as the user: who, besides the
// user and root, could change a file or a folder.
enum class Changer {
    None,
    Owner,       // it belongs to another user
    OthersWrite, // others may write to it (a folder: and replace what it holds)
};

// A file: its owner, then the write bits of others and of a group that is not the owner's own.
// A folder alike, but a folder with the sticky bit (/tmp) may be writable by others: they
// cannot replace what is ours in it.
Changer changerOf(const struct stat& st, bool folder);

// Whether the group's only member is the owner: a user private group (Debian gives each user
// one, and with umask 002 the user's files are group-writable). The owner must be a member,
// by its primary group or the group's list; no other user may have it as primary group or be
// listed. A group without members is not one: such groups serve setgid programs.
bool isPrivateGroup(gid_t group, uid_t owner);

// Profiles read only when no one but the user (or root) could have chosen what they hold.
struct TrustedFile {
    QByteArray bytes;
    mode_t mode = 0;
};

// Reads the file, at most limitMiB megabytes, after checking what is read: the file opened, the
// folder that holds it once links are followed, and each symbolic link met on the way with
// the folder that holds it. Raises ProfileInsecure naming what others could change,
// ProfileInvalid for a file that cannot be read, is no regular file, or is longer than the limit.
TrustedFile readTrusted(const QString& path, int limitMiB);

} // namespace kelvo
