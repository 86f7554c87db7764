// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "smtp_data.h"

#include <libetpan/libetpan.h>

namespace kelvo {

namespace {

constexpr size_t kPiece = 64 * 1024;

} // namespace

SmtpData::SmtpData(mailstream* stream) : stream(stream) {
    out.reserve(kPiece + 3);
}

void SmtpData::lineEnd() {
    if (heldEnd)
        out += "\r\n";
    heldEnd = false;
}

void SmtpData::writeImpl(const vmime::byte_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const char c = static_cast<char>(data[i]);
        if (cr) {
            cr = false;
            heldEnd = true;
            lineStart = true;
            heldCrLf = c == '\n';
            if (heldCrLf)
                continue;
        }
        lineEnd();
        if (c == '\r') {
            cr = true;
        } else if (c == '\n') {
            heldEnd = true;
            heldCrLf = false;
            lineStart = true;
        } else {
            if (lineStart && c == '.')
                out += '.';
            out += c;
            lineStart = false;
        }
        if (out.size() >= kPiece)
            send();
    }
}

void SmtpData::send() {
    if (!out.empty() && mailstream_write(stream, out.data(), out.size()) != ssize_t(out.size()))
        throw Lost{};
    out.clear();
}

void SmtpData::flush() {
    send();
}

void SmtpData::finish() {
    if (cr) { // a lone CR at the very end
        cr = false;
        out += "\r\n";
    } else if (heldEnd && !heldCrLf) {
        lineEnd(); // a lone LF is no CR LF to leave out
    }
    heldEnd = false;
    send();
}

} // namespace kelvo
