// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/cp932.h"

#include <cerrno>
#include <iconv.h>
#include <mutex>

namespace kelvo {
namespace {

// One converter per direction; iconv handles are not thread-safe, so each use is locked.
class Converter {
public:
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Converter() {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as it can. Returns false at the first sequence that cannot be
    // converted, with inPos at that sequence; true when everything was converted.
    bool convert(const QByteArray& in, qsizetype& inPos, QByteArray& out) {
        if (cd == reinterpret_cast<iconv_t>(-1))
            return false;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[4096];
        while (inPos < in.size()) {
            char* src = const_cast<char*>(in.constData()) + inPos;
            size_t srcLeft = static_cast<size_t>(in.size() - inPos);
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
            int err = errno;
            out.append(buffer, dst - buffer);
            inPos = in.size() - static_cast<qsizetype>(srcLeft);
            if (rc == static_cast<size_t>(-1) && err != E2BIG)
                return false;
        }
        return true;
    }

    std::mutex lock;

private:
    iconv_t cd;
};

Converter& encoder() {
    static Converter c("CP932", "UTF-8");
    return c;
}

Converter& decoder() {
    static Converter c("UTF-8", "CP932");
    return c;
}

// Length of the UTF-8 sequence that starts with byte b (1 for a stray byte).
int utf8SequenceLength(unsigned char b) {
    if (b >= 0xF0)
        return 4;
    if (b >= 0xE0)
        return 3;
    if (b >= 0xC0)
        return 2;
    return 1;
}

} // namespace

std::optional<QByteArray> toCp932(const QString& text) {
    const QByteArray in = text.toUtf8();
    QByteArray out;
    qsizetype pos = 0;
    Converter& c = encoder();
    std::lock_guard guard(c.lock);
    if (!c.convert(in, pos, out))
        return std::nullopt;
    return out;
}

QByteArray toCp932Lossy(const QString& text) {
    const QByteArray in = text.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    qsizetype pos = 0;
    Converter& c = encoder();
    std::lock_guard guard(c.lock);
    while (!c.convert(in, pos, out)) {
        out.append('?');
        pos += utf8SequenceLength(static_cast<unsigned char>(in.at(pos)));
    }
    return out;
}

QString fromCp932(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size() * 3 / 2);
    qsizetype pos = 0;
    Converter& c = decoder();
    std::lock_guard guard(c.lock);
    while (!c.convert(bytes, pos, out)) {
        out.append("\xEF\xBF\xBD");
        // A lead byte of a double-byte pair that is itself bad takes its trail byte along.
        const auto b = static_cast<unsigned char>(bytes.at(pos));
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        pos += (lead && pos + 1 < bytes.size()) ? 2 : 1;
    }
    return QString::fromUtf8(out);
}

qint64 バイト長(const QString& text) {
    // ASCII is by far the most common case and needs no conversion.
    bool ascii = true;
    for (QChar ch : text) {
        if (ch.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text.size();
    return toCp932Lossy(text).size();
}

QString バイト数で切る(const QString& text, qint64 maxBytes) {
    if (バイト長(text) <= maxBytes)
        return text;
    qint64 used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype step = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const qint64 len = バイト長(text.mid(i, step));
        if (used + len > maxBytes)
            break;
        used += len;
        i += step;
    }
    return text.left(i);
}

} // namespace kelvo
