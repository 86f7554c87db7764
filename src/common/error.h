// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <stdexcept>

namespace kelvo {

// The one error type raised inside Kelvo: a number and a readable description, as the
// monitor's error line shows them.
class KelvoError : public std::runtime_error {
public:
    KelvoError(int number, const QString& description)
        : std::runtime_error(description.toStdString()), 番号(number), 説明(description) {}

    int number() const { return 番号; }
    const QString& description() const { return 説明; }

private:
    int 番号;
    QString 説明;
};

// Error numbers Kelvo itself raises (the mail layer adds its own).
namespace errnum {
inline constexpr int Overflow = 6;
inline constexpr int FileNotFound = 53;
inline constexpr int DeviceIo = 57;
inline constexpr int DiskFull = 61;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathNotFound = 76;
inline constexpr int InvalidFormat = 321; // a file that cannot be read as what it should be
inline constexpr int Unknown = 1000;
} // namespace errnum

// Maps a C errno to the error number Kelvo reports for a failed file operation.
int errnoToNumber(int err);

} // namespace kelvo
