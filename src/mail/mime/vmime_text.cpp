// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/mime/vmime_text.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <cctype>
#include <cerrno>
#include <iconv.h>
#include <mutex>
#include <vmime/platforms/posix/posixHandler.hpp>

namespace kelvo::vm {

void initialize() {
    static std::once_flag once;
    std::call_once(once,
                   [] { vmime::platform::setHandler<vmime::platforms::posix::posixHandler>(); });
}

namespace {

bool isAscii(const std::string& bytes) {
    for (unsigned char c : bytes)
        if (c >= 0x80)
            return false;
    return true;
}

bool isValidUtf8(const std::string& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError() && !text.isNull();
}

std::string convert(const std::string& in, const vmime::charset& from, const vmime::charset& to) {
    std::string out;
    vmime::charset::convert(in, out, from, to);
    return out;
}

bool isUndeclared(const std::string& charsetName) {
    const std::string name = QString::fromStdString(charsetName).toLower().toStdString();
    return name.empty() || name == "us-ascii" || name == "ascii";
}

// The bytes an encoded word's payload stands for, or nothing when it is not valid in its
// encoding.
std::optional<std::string> payloadBytes(char encoding, const QByteArray& payload) {
    if (encoding == 'B' || encoding == 'b') {
        const auto result = QByteArray::fromBase64Encoding(
            payload, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
        if (!result)
            return std::nullopt;
        return result.decoded.toStdString();
    }
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::string out;
    for (qsizetype i = 0; i < payload.size(); ++i) {
        const char c = payload[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=') {
            if (i + 2 >= payload.size() || !hex(payload[i + 1]) || !hex(payload[i + 2]))
                return std::nullopt;
            out += static_cast<char>(payload.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else if (c <= ' ' || c > '~') {
            return std::nullopt;
        } else {
            out += c;
        }
    }
    return out;
}

// Whether the encoded word (charset, encoding letter, payload) cannot be read: its payload
// is broken, or its bytes are not text in a charset the converter knows. A charset nobody
// here knows is read as undeclared text instead, as the body is.
bool isUndecodable(const QByteArray& charsetAndLanguage, char encoding, const QByteArray& payload) {
    const std::optional<std::string> bytes = payloadBytes(encoding, payload);
    if (!bytes)
        return true;
    const std::string name = charsetAndLanguage.split('*').first().toStdString();
    if (isUndeclared(name))
        return false;
    // The converter passes UTF-8 through unchecked.
    if (QString::fromStdString(name).compare(u"utf-8", Qt::CaseInsensitive) == 0)
        return !isValidUtf8(*bytes);
    vmime::charsetConverterOptions options;
    options.silentlyReplaceInvalidSequences = false;
    try {
        std::string out;
        vmime::charsetConverter::create(vmime::charset(name), vmime::charset("utf-8"), options)
            ->convert(*bytes, out);
        return false;
    } catch (const vmime::exceptions::illegal_byte_sequence_for_charset&) {
        return true;
    } catch (const vmime::exception&) {
        return false;
    }
}

bool isBlank(const QByteArray& text) {
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    return true;
}

QByteArray unfolded(QByteArray blanks) {
    return blanks.replace("\r", "").replace("\n", "");
}

// A field's value with its undecodable encoded words replaced. Readers drop the blanks
// between two encoded words, but keep them beside raw text: the replacement carries the
// blanks that its raw text would have kept. Addresses are left alone.
QByteArray keptWords(const QByteArray& value) {
    static const QRegularExpression word(QStringLiteral(R"(=\?([^?\s]*)\?([BbQq])\?([^?\n]*)\?=)"));
    const QString text = QString::fromLatin1(value);
    struct Found {
        qsizetype start, end;
        bool bad;
    };
    std::vector<Found> found;
    qsizetype scanned = 0;
    int angles = 0; // open angle brackets before the word
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const qsizetype start = m.capturedStart(), end = m.capturedEnd();
        for (; scanned < start; ++scanned)
            angles += value[scanned] == '<' ? 1 : value[scanned] == '>' ? -1 : 0;
        const bool inAddress = angles > 0 || (end < value.size() && value[end] == '@');
        found.push_back(
            {start, end,
             !inAddress && isUndecodable(m.captured(1).toLatin1(), m.captured(2).at(0).toLatin1(),
                                         m.captured(3).toLatin1())});
    }
    QByteArray out;
    qsizetype done = 0;
    for (size_t i = 0; i < found.size(); ++i) {
        const Found& f = found[i];
        if (!f.bad)
            continue;
        QByteArray shown = value.mid(f.start, f.end - f.start);
        if (i > 0) {
            const QByteArray before = value.mid(found[i - 1].end, f.start - found[i - 1].end);
            if (isBlank(before))
                shown.prepend(unfolded(before));
        }
        if (i + 1 < found.size() && !found[i + 1].bad) {
            const QByteArray after = value.mid(f.end, found[i + 1].start - f.end);
            if (isBlank(after))
                shown.append(unfolded(after));
        }
        out += value.mid(done, f.start - done) + "=?UTF-8?B?" + shown.toBase64() + "?=";
        done = f.end;
    }
    return out + value.mid(done);
}

bool isFieldStart(const QByteArray& line) {
    return !line.isEmpty() && line[0] != ' ' && line[0] != '\t';
}

bool carriesReadText(const QByteArray& fieldLine) {
    const QByteArray name = fieldLine.left(fieldLine.indexOf(':')).trimmed().toLower();
    return name == "subject" || name == "from" || name == "to" || name == "cc";
}

} // namespace

QString decode(const std::string& bytes, const vmime::charset& declared) {
    vmime::charset source = declared;
    const std::string name = QString::fromStdString(declared.getName()).toLower().toStdString();
    const bool undeclared = name.empty() || name == "us-ascii" || name == "ascii";
    if (undeclared) {
        if (bytes.find("\x1b$B") != std::string::npos || bytes.find("\x1b$@") != std::string::npos)
            source = vmime::charset("iso-2022-jp");
        else if (isAscii(bytes) || isValidUtf8(bytes))
            source = vmime::charset("utf-8");
        else
            source = vmime::charset("windows-31j");
    }
    std::string text = bytes;
    if (source.getName() != "utf-8") {
        try {
            text = convert(bytes, source, vmime::charset("utf-8"));
        } catch (const vmime::exception&) {
            // A charset nobody here can convert from must not make the message unreadable:
            // its bytes are guessed at as if no charset had been declared.
            if (!undeclared)
                return decode(bytes, vmime::charset("us-ascii"));
        }
    }
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString toQString(const vmime::text& text) {
    QString out;
    for (size_t i = 0; i < text.getWordCount(); ++i) {
        const vmime::shared_ptr<const vmime::word> w = text.getWordAt(i);
        out += decode(w->getBuffer(), w->getCharset());
    }
    return out;
}

std::optional<std::string> encodeStrict(const QString& text, const char* charsetName) {
    vmime::charsetConverterOptions options;
    options.silentlyReplaceInvalidSequences = false;
    try {
        auto converter = vmime::charsetConverter::create(vmime::charset("utf-8"),
                                                         vmime::charset(charsetName), options);
        std::string out;
        converter->convert(utf8(text), out);
        return out;
    } catch (const vmime::exception&) {
        return std::nullopt;
    }
}

bool decodesStrictly(const std::string& bytes, const char* iconvName) {
    iconv_t cd = iconv_open("UTF-8", iconvName);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string in = bytes;
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char buffer[1024];
    bool ok = true;
    while (ok && inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) ||
             errno == E2BIG;
    }
    iconv_close(cd);
    return ok;
}

std::string withUndecodableWordsKept(std::string raw) {
    // Only the message's own header: the fields the reader takes its texts from. The rest,
    // which may be large, stays where it is.
    std::string out;
    QByteArray field;
    auto flush = [&] {
        out += (carriesReadText(field) ? keptWords(field) : field).toStdString();
        field.clear();
    };
    size_t pos = 0;
    while (pos < raw.size()) {
        size_t end = raw.find('\n', pos);
        end = end == std::string::npos ? raw.size() : end + 1;
        const QByteArray line =
            QByteArray::fromRawData(raw.data() + pos, static_cast<qsizetype>(end - pos));
        if (line == "\n" || line == "\r\n")
            break;
        if (isFieldStart(line))
            flush();
        field += line;
        pos = end;
    }
    flush();
    if (raw.compare(0, pos, out) != 0)
        raw.replace(0, pos, out);
    return raw;
}

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QDateTime toLocal(const vmime::datetime& d) {
    const QDate date(d.getYear(), d.getMonth(), d.getDay());
    const QTime time(d.getHour(), d.getMinute(), d.getSecond());
    // Offsets beyond a day are no time zone's, only damage.
    constexpr int kDayMinutes = 24 * 60;
    if (!date.isValid() || !time.isValid() || d.getYear() < 1980 || d.getZone() <= -kDayMinutes ||
        d.getZone() >= kDayMinutes)
        return QDateTime();
    return QDateTime(date, time, Qt::OffsetFromUTC, d.getZone() * 60).toLocalTime();
}

QString crlf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

} // namespace kelvo::vm
