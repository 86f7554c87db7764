// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>

namespace kelvo::test {

// A crafted mail: a line of text, then `levels` multiparts nested one in the other.
inline QByteArray nestedMail(const QByteArray& header, int levels) {
    QByteArray m = header + "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=top\r\n"
                            "\r\n--top\r\nContent-Type: text/plain\r\n\r\nreadable\r\n--top\r\n";
    for (int i = 0; i < levels; ++i)
        m += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) + "\r\n\r\n--b" +
             QByteArray::number(i) + "\r\n";
    m += "Content-Type: text/plain\r\n\r\ninnermost\r\n";
    for (int i = levels - 1; i >= 0; --i)
        m += "--b" + QByteArray::number(i) + "--\r\n";
    return m + "--top--\r\n";
}

} // namespace kelvo::test
