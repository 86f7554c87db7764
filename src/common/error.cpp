// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/error.h"

#include <cerrno>

namespace kelvo {

int errnoToNumber(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return errnum::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return errnum::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
        return errnum::DiskFull;
    case EIO:
        return errnum::DeviceIo;
    default:
        return errnum::Unknown;
    }
}

} // namespace kelvo
