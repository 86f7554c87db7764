// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/mime/message_writer.h"

#include "mail/mime/vmime_text.h"

#include <cstring>

#include <QSysInfo>
#include <QUuid>

namespace kelvo::vm {

namespace {

constexpr int kMaxEncodedWord = 75;
constexpr int kFoldAt = 78;
constexpr int kMaxLine = 998;

bool isHalfWidthKana(QChar c) {
    return c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F;
}

bool isPlainAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    return !text.contains(QStringLiteral("=?"));
}

struct Charset {
    const char* mime;
    const char* converter;
};
constexpr Charset kJis{"ISO-2022-JP", "iso-2022-jp"};
constexpr Charset kUtf8{"UTF-8", "utf-8"};

// Characters that other systems write where Japanese mail programs write the same JIS
// character in its Windows form, the only one the converter knows.
constexpr std::pair<char16_t, char16_t> kJisForms[] = {
    {u'\u301C', u'\uFF5E'}, // wave dash
    {u'\u2212', u'\uFF0D'}, // minus sign
    {u'\u2016', u'\u2225'}, // double vertical line
    {u'\u2014', u'\u2015'}, // em dash
    {u'\u00A2', u'\uFFE0'}, // cent
    {u'\u00A3', u'\uFFE1'}, // pound
    {u'\u00AC', u'\uFFE2'}, // not sign
};

// The text in ISO-2022-JP as the converter writes it, extension rows included.
std::optional<std::string> jisBytes(QString text) {
    for (const auto& [from, to] : kJisForms)
        text.replace(QChar(from), QChar(to));
    return encodeStrict(text, kJis.converter);
}

// The text in ISO-2022-JP, or nothing when some character has no form there that strict
// readers accept: the converter also writes the vendor rows of Windows (circled digits,
// Roman numerals), which they show as replacement characters.
std::optional<std::string> toJis(const QString& text) {
    auto bytes = jisBytes(text);
    if (bytes && !decodesStrictly(*bytes, "ISO-2022-JP"))
        return std::nullopt;
    return bytes;
}

std::optional<std::string> encode(const QString& text, const Charset& cs) {
    return &cs == &kJis ? jisBytes(text) : encodeStrict(text, cs.converter);
}

const Charset& charsetFor(const QString& text) {
    return toJis(text) ? kJis : kUtf8;
}

std::string base64(const std::string& bytes) {
    const QByteArray b = QByteArray::fromStdString(bytes).toBase64();
    return b.toStdString();
}

std::string word(const std::string& encodedBytes, const Charset& cs) {
    return std::string("=?") + cs.mime + "?B?" + base64(encodedBytes) + "?=";
}

bool hasLongLine(const std::string& bytes) {
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        const size_t cr = end > start && bytes[end - 1] == '\r' ? 1 : 0;
        if (end - start - cr > static_cast<size_t>(kMaxLine))
            return true;
        start = end + 1;
    }
    return false;
}

// The pieces of a header value joined into lines of at most 78 characters where the pieces
// allow: a line is folded before a piece, and every piece but the first begins with a blank.
// used: the columns already taken on the first line.
std::string fold(const std::vector<std::string>& pieces, int used) {
    std::string out;
    size_t column = static_cast<size_t>(used);
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0 && column + pieces[i].size() > static_cast<size_t>(kFoldAt)) {
            out += "\r\n";
            column = 0;
        }
        out += pieces[i];
        column += pieces[i].size();
    }
    return out;
}

// Whether the folded value, on a line after used columns, keeps every line within 998.
bool fits(const std::string& folded, int used) {
    return !hasLongLine(std::string(static_cast<size_t>(used), ' ') + folded);
}

// Plain text cut before each blank that is followed by more text.
std::vector<std::string> blankPieces(const std::string& text) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == ' ' && text[i + 1] != ' ') {
            pieces.push_back(text.substr(start, i - start));
            start = i;
        }
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

// The text as encoded words of at most 75 characters, each holding whole characters and, in
// ISO-2022-JP, starting and ending in ASCII; the first fits the first line after used.
std::vector<std::string> wordPieces(const QString& text, int used) {
    const Charset& cs = charsetFor(text);
    const int overhead = static_cast<int>(std::strlen(cs.mime)) + 7; // =?cs?B? ... ?=
    std::vector<std::string> out;
    QString chunk;
    std::string chunkBytes;
    int limit = std::min(kMaxEncodedWord, kFoldAt - 2 - used);
    auto flush = [&] {
        if (chunk.isEmpty())
            return;
        out.push_back((out.empty() ? "" : " ") + word(chunkBytes, cs));
        chunk.clear();
        chunkBytes.clear();
        limit = kMaxEncodedWord;
    };
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString next = chunk + text.mid(i, n);
        const std::string bytes = *encode(next, cs);
        const int length = overhead + static_cast<int>((bytes.size() + 2) / 3 * 4);
        if (length > std::max(limit, overhead + 8) && !chunk.isEmpty()) {
            flush();
            continue; // the same character starts the next word
        }
        chunk = next;
        chunkBytes = bytes;
        i += n;
    }
    flush();
    return out;
}

// A header value: plain ASCII folded at its blanks, when no run of it is too long for a line;
// otherwise encoded words. tail: a last piece (an address) that goes on the value's end.
std::string headerValue(const QString& text, const std::string& asAscii, int used,
                        const std::string& tail = std::string()) {
    if (!asAscii.empty() || text.isEmpty()) {
        std::vector<std::string> pieces = blankPieces(asAscii);
        if (!tail.empty())
            pieces.push_back(tail);
        const std::string folded = fold(pieces, used);
        if (fits(folded, used))
            return folded;
    }
    std::vector<std::string> pieces = wordPieces(text, used);
    if (!tail.empty())
        pieces.push_back(tail);
    return fold(pieces, used);
}

// Counts what is written and keeps none of it.
class CountingStream final : public vmime::utility::outputStream {
public:
    size_t count = 0;
    void flush() override {}

protected:
    void writeImpl(const vmime::byte_t* const, const size_t n) override { count += n; }
};

} // namespace

QString widenKana(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (!isHalfWidthKana(text[i])) {
            out += text[i++];
            continue;
        }
        qsizetype j = i;
        while (j < text.size() && isHalfWidthKana(text[j]))
            ++j;
        // Compatibility composition maps the half-width forms, voiced marks included, to
        // their full-width ones.
        out += text.mid(i, j - i).normalized(QString::NormalizationForm_KC);
        i = j;
    }
    return out;
}

std::string encodedWords(const QString& raw, int used) {
    const QString text = widenKana(raw);
    return headerValue(text, isPlainAscii(text) ? text.toStdString() : std::string(), used);
}

std::string mailboxValue(const QString& displayName, const QString& address, int used) {
    const QString name = widenKana(displayName.trimmed());
    if (name.isEmpty() || name == address)
        return address.toStdString();
    std::string quoted;
    if (isPlainAscii(name)) {
        QString escaped = name;
        escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
        quoted = "\"" + escaped.toStdString() + "\"";
    }
    return headerValue(name, quoted, used, " <" + address.toStdString() + ">");
}

ComposedMessage::ComposedMessage(
    const OutgoingMail& mail, const MailRecipient& from,
    const std::vector<vmime::shared_ptr<const vmime::bodyPart>>& attachments) {
    initialize();
    // The text: ISO-2022-JP in 7 bits when it has a form there, else UTF-8; base64 where lines
    // would be too long for 7 bits.
    const QString text = crlf(widenKana(mail.noteText));
    std::string bytes;
    vmime::charset chset("utf-8");
    vmime::encoding enc("base64");
    if (auto jis = toJis(text)) {
        bytes = *jis;
        chset = vmime::charset("iso-2022-jp");
        enc = vmime::encoding(hasLongLine(bytes) ? "base64" : "7bit");
    } else {
        bytes = utf8(text);
    }

    message = vmime::make_shared<vmime::message>();
    auto header = message->getHeader();
    header->Date()->setValue(vmime::datetime::now());
    header->MimeVersion()->setValue(std::string("1.0"));
    QString domain = from.address.section(u'@', 1);
    if (domain.isEmpty())
        domain = QSysInfo::machineHostName();
    const QString left =
        QStringLiteral("kelvo.") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    header->MessageId()->setValue(vmime::messageId(left.toStdString(), domain.toStdString()));

    auto content = vmime::make_shared<vmime::stringContentHandler>(bytes);
    const vmime::mediaType plain(vmime::mediaTypes::TEXT, vmime::mediaTypes::TEXT_PLAIN);
    if (attachments.empty()) {
        message->getBody()->setContents(content, plain, chset, enc);
    } else {
        header->ContentType()->setValue(
            vmime::mediaType(vmime::mediaTypes::MULTIPART, vmime::mediaTypes::MULTIPART_MIXED));
        auto textPart = vmime::make_shared<vmime::bodyPart>();
        textPart->getBody()->setContents(content, plain, chset, enc);
        message->getBody()->appendPart(textPart);
        for (const auto& part : attachments)
            message->getBody()->appendPart(vmime::dynamicCast<vmime::bodyPart>(part->clone()));
    }

    // VMime writes non-ASCII header text as one unfolded word per character sequence, and raw
    // UTF-8 when a server offers it: the texts go in as our own encoded words instead.
    head = "From: " + mailboxValue(from.displayName, from.address, 6) + "\r\n";
    const char* field = mail.recipient.type == kRecipCc ? "Cc: " : "To: ";
    if (mail.recipient.type != kRecipBcc)
        head +=
            field + mailboxValue(mail.recipient.displayName, mail.recipient.address, 4) + "\r\n";
    head += "Subject: " + encodedWords(mail.subject, 9) + "\r\n";
    CountingStream counted;
    write(counted);
    bytes = counted.count;
}

void ComposedMessage::write(vmime::utility::outputStream& out) const {
    out.write(head.data(), head.size());
    message->generate(out);
    out.flush();
}

std::string buildMessage(const OutgoingMail& mail, const MailRecipient& from,
                         const std::vector<vmime::shared_ptr<const vmime::bodyPart>>& attachments) {
    const ComposedMessage composed(mail, from, attachments);
    // Written once, in place: the attachments may be large.
    std::string out;
    out.reserve(composed.size());
    vmime::utility::outputStreamStringAdapter stream(out);
    composed.write(stream);
    return out;
}

} // namespace kelvo::vm
