// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/mime/message_reader.h"

#include "mail/mime/vmime_text.h"
#include "mime_nesting.h"
#include "part_kind.h"
#include "text_stream.h"

#include <QTextDocumentFragment>
#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vmime/contentDispositionField.hpp>
#include <vmime/contentTypeField.hpp>
#include <vmime/utility/seekableInputStreamRegionAdapter.hpp>

namespace kelvo::vm {

namespace {

// A field value kept as it was written. Authentication-Results is structured (RFC 8601): read as
// unstructured text, an encoded word a sender put into it (its address, its HELO name, a
// comment) would be decoded into results the receiving server never wrote.
class RawValue : public vmime::headerFieldValue {
public:
    const std::string& text() const { return raw; }

    vmime::shared_ptr<vmime::component> clone() const override {
        auto copy = vmime::make_shared<RawValue>();
        copy->raw = raw;
        return copy;
    }
    void copyFrom(const vmime::component& other) override {
        raw = dynamic_cast<const RawValue&>(other).raw;
    }
    const std::vector<vmime::shared_ptr<vmime::component>> getChildComponents() override {
        return {};
    }

protected:
    void parseImpl(const vmime::parsingContext&, const vmime::string& buffer, size_t position,
                   size_t end, size_t* newPosition) override {
        raw.assign(buffer, position, end - position);
        setParsedBounds(position, end);
        if (newPosition)
            *newPosition = end;
    }
    void generateImpl(const vmime::generationContext&, vmime::utility::outputStream& os,
                      size_t curLinePos, size_t* newLinePos) const override {
        os << raw;
        if (newLinePos) {
            const size_t lineStart = raw.rfind('\n');
            *newLinePos = lineStart == std::string::npos ? curLinePos + raw.size()
                                                         : raw.size() - lineStart - 1;
        }
    }

private:
    std::string raw;
};

// A field name, in any letter case.
bool isNamed(std::string_view name, std::string_view lower) {
    return name.size() == lower.size() &&
           std::equal(name.begin(), name.end(), lower.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
           });
}

OriginFields originFieldsOf(const vmime::header& header) {
    OriginFields out;
    for (const auto& field : header.getFieldList()) {
        out.from += isNamed(field->getName(), "from") ? 1 : 0;
        out.subject += isNamed(field->getName(), "subject") ? 1 : 0;
    }
    return out;
}

// The parser drops a field it throws on, and ends a header at a line of blanks that follows a
// line without a colon, where the header goes on for the server. A From or Subject field it
// left out is kept by its name, empty, so that a second one still counts.
void keepOriginFields(const OriginFields& raw, vmime::header& header) {
    const OriginFields parsed = originFieldsOf(header);
    const auto factory = vmime::headerFieldFactory::getInstance();
    for (int i = parsed.from; i < raw.from; ++i)
        header.appendField(factory->create(vmime::fields::FROM));
    for (int i = parsed.subject; i < raw.subject; ++i)
        header.appendField(factory->create(vmime::fields::SUBJECT));
}

QString lower(const std::string& s) {
    return QString::fromStdString(s).toLower();
}

PartKind kindOf(const vmime::header& h, const Place& place) {
    PartKind k;
    k.type = QStringLiteral("text");
    k.subtype = QStringLiteral("plain");
    k.inRelated = place.parent == u"related";
    k.laterInMixed = place.parent == u"mixed" && place.index > 0;
    if (auto ct = h.findField<vmime::contentTypeField>(vmime::fields::CONTENT_TYPE)) {
        auto type = ct->getValue<vmime::mediaType>();
        k.type = lower(type->getType());
        k.subtype = lower(type->getSubType());
        k.named = ct->hasParameter("name");
    }
    if (auto cd = h.findField<vmime::contentDispositionField>(vmime::fields::CONTENT_DISPOSITION)) {
        k.disposition = lower(cd->getValue<vmime::contentDisposition>()->getName());
        k.named = k.named || cd->hasParameter("filename");
    }
    return k;
}

void collectAttachments(const vmime::bodyPart& part, const QString& subtype,
                        std::vector<vmime::shared_ptr<const vmime::bodyPart>>& out) {
    const auto children = part.getBody()->getPartList();
    for (size_t i = 0; i < children.size(); ++i) {
        const PartKind k = kindOf(*children[i]->getHeader(), Place{subtype, i});
        if (k.type == u"multipart")
            collectAttachments(*children[i], k.subtype, out);
        else if (k.isAttachment())
            out.push_back(children[i]);
    }
}

QString partText(const vmime::bodyPart& part) {
    std::string bytes;
    vmime::utility::outputStreamStringAdapter out(bytes);
    part.getBody()->getContents()->extract(out);
    vmime::charset declared("us-ascii");
    if (auto ct = part.getHeader()->findField<vmime::contentTypeField>(vmime::fields::CONTENT_TYPE))
        if (ct->hasParameter("charset"))
            declared = ct->getCharset();
    return decode(bytes, declared);
}

// The message's own text parts, depth first: plain ones, and the first HTML one.
void collectText(const vmime::bodyPart& part, const Place& place, QStringList& plain, QString& html,
                 bool& haveHtml) {
    const PartKind k = kindOf(*part.getHeader(), place);
    if (k.type == u"multipart") {
        const auto children = part.getBody()->getPartList();
        for (size_t i = 0; i < children.size(); ++i)
            collectText(*children[i], Place{k.subtype, i}, plain, html, haveHtml);
        return;
    }
    if (!k.isText() || k.isAttachment())
        return;
    if (k.subtype == u"plain") {
        plain << partText(part);
    } else if (!haveHtml) {
        html = partText(part);
        haveHtml = true;
    }
}

bool isAscii(const std::string& bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A part of an address that VMime writes as it is: no quoting, no conversion. The common case
// is joined here, which costs a fraction of VMime's writing of it.
bool isPlainPart(const std::string& part) {
    static constexpr std::string_view kSpecial = "!#$%&'*+-/=?^_`{|}~";
    if (part.empty() || part.front() == '.' || part.back() == '.' ||
        part.find("..") != std::string::npos)
        return false;
    return std::all_of(part.begin(), part.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || kSpecial.find(c) != std::string_view::npos;
    });
}

// The address as text. Parts that are not ASCII are converted here: VMime converts them to
// the charset they were written in, which throws, and leaks, for a charset nobody here knows.
QString addressOf(const vmime::emailAddress& e) {
    const vmime::word& local = e.getLocalName();
    const vmime::word& domain = e.getDomainName();
    if (isPlainPart(local.getBuffer()) && isPlainPart(domain.getBuffer()))
        return QString::fromLatin1(local.getBuffer() + '@' + domain.getBuffer());
    if (isAscii(local.getBuffer()) && isAscii(domain.getBuffer()))
        return QString::fromStdString(e.toString());
    QString text = decode(local.getBuffer(), local.getCharset());
    if (!domain.getBuffer().empty())
        text += u'@' + decode(domain.getBuffer(), domain.getCharset());
    return text;
}

void addRecipients(const vmime::shared_ptr<const vmime::addressList>& value, int type,
                   MailSummary& s) {
    if (!value)
        return;
    for (const auto& mb : value->toMailboxList()->getMailboxList()) {
        MailRecipient r;
        r.type = type;
        r.address = addressOf(mb->getEmail());
        r.displayName = toQString(mb->getName()).trimmed();
        if (r.displayName.isEmpty())
            r.displayName = r.address;
        s.recipients.push_back(r);
    }
}

bool isBlankChar(char c) {
    return c == ' ' || c == '\t';
}

// A line the parser takes for a header field, or a line of text that looks like one: a name
// of anything but blanks and line ends (empty too), blanks before the colon or not, a colon.
bool looksLikeField(const std::string& line) {
    if (line.empty() || isBlankChar(line[0]))
        return false;
    size_t i = line.find_first_of(": \t\r\n");
    while (i < line.size() && isBlankChar(line[i]))
        ++i;
    return i < line.size() && line[i] == ':';
}

bool parsesAlone(const std::string& field) {
    try {
        vmime::header h;
        h.parse(field);
        return true;
    } catch (...) {
        return false;
    }
}

// The message without the header fields, in any of its parts, that the parser throws on.
std::string withoutRejectedFields(const std::string& raw) {
    std::string out;
    out.reserve(raw.size());
    std::string field; // a field with its folded lines
    auto flush = [&] {
        if (!field.empty() && (!looksLikeField(field) || parsesAlone(field)))
            out += field;
        field.clear();
    };
    size_t pos = 0;
    while (pos < raw.size()) {
        size_t end = raw.find('\n', pos);
        end = end == std::string::npos ? raw.size() : end + 1;
        const std::string line = raw.substr(pos, end - pos);
        pos = end;
        if (!(isBlankChar(line[0]) && !field.empty()))
            flush();
        field += line;
        if (!looksLikeField(field))
            flush();
    }
    flush();
    return out;
}

// Where the body starts: after the first empty line, or at the end.
size_t bodyStart(const std::string& raw) {
    size_t pos = 0;
    while (pos < raw.size()) {
        const size_t end = raw.find('\n', pos);
        if (end == std::string::npos)
            break;
        if (end == pos || (end == pos + 1 && raw[pos] == '\r'))
            return end + 1;
        pos = end + 1;
    }
    return raw.size();
}

// The value of the header's first Subject field as written, its folds undone, or nothing.
// The header ends where VMime ends it: at an empty line or one of blanks only.
std::optional<std::string> rawSubject(const std::string& raw) {
    std::optional<std::string> value;
    size_t pos = 0;
    while (pos < raw.size()) {
        size_t end = raw.find('\n', pos);
        const size_t next = end == std::string::npos ? raw.size() : end + 1;
        end = end == std::string::npos ? raw.size() : end;
        if (end > pos && raw[end - 1] == '\r')
            --end;
        const std::string line = raw.substr(pos, end - pos);
        pos = next;
        if (line.find_first_not_of(" \t") == std::string::npos)
            break;
        if (value) {
            if (!isBlankChar(line[0]))
                break;
            *value += line; // unfolding drops the line break only
            continue;
        }
        if (isBlankChar(line[0]))
            continue;
        const size_t nameEnd = line.find_first_of(": \t");
        const size_t colon = line.find_first_not_of(" \t", nameEnd);
        if (colon == std::string::npos || line[colon] != ':' || nameEnd != 7 ||
            !vmime::utility::stringUtils::isStringEqualNoCase(line, "subject", 7))
            continue;
        value = line.substr(colon + 1);
    }
    return value;
}

// VMime drops the blanks at both ends of a field. The subject is compared whole, so it keeps
// them, all but the one blank that conventionally follows the colon.
void keepSubjectBlanks(const std::string& raw, vmime::header& header) {
    const auto field = header.findField(vmime::fields::SUBJECT);
    const auto value = rawSubject(raw);
    if (!field || !value)
        return;
    const auto text = vmime::dynamicCast<vmime::text>(field->getValue());
    const size_t first = value->find_first_not_of(" \t");
    const size_t from = !value->empty() && isBlankChar((*value)[0]) ? 1 : 0;
    const size_t last = value->find_last_not_of(" \t");
    const std::string leading =
        value->substr(from, (first == std::string::npos ? value->size() : first) - from);
    const std::string trailing =
        last == std::string::npos ? std::string() : value->substr(last + 1);
    if (!text || (leading.empty() && trailing.empty()))
        return;
    const vmime::charset ascii(vmime::charsets::US_ASCII);
    if (!leading.empty())
        text->insertWordBefore(0, vmime::make_shared<vmime::word>(leading, ascii));
    if (!trailing.empty())
        text->appendWord(vmime::make_shared<vmime::word>(trailing, ascii));
}

// Gives each single part whose contents the skeleton left out its contents, read from the
// whole message when asked for; those found are taken out of `left`.
void putContentsBack(vmime::bodyPart& part, std::map<size_t, Skeleton::Contents>& left,
                     const vmime::shared_ptr<TextStream>& whole) {
    const auto body = part.getBody();
    if (body->getPartCount() > 0) {
        for (size_t i = 0; i < body->getPartCount(); ++i)
            putContentsBack(*body->getPartAt(i), left, whole);
        return;
    }
    const auto found = left.find(body->getParsedOffset());
    if (found == left.end() || body->getParsedLength() != 0)
        return;
    const Skeleton::Contents c = found->second;
    left.erase(found);
    auto region = vmime::make_shared<vmime::utility::seekableInputStreamRegionAdapter>(
        whole, c.from, c.length);
    body->setContents(
        vmime::make_shared<vmime::streamContentHandler>(region, c.length, body->getEncoding()));
}

// Parses the text as a whole message, with its nesting bounded first. VMime reads the
// structure from the skeleton, and the parts' contents stay in the text, which the message
// keeps: a large message is held once and never copied whole. When the parse fails, raw is
// as it was.
vmime::shared_ptr<vmime::message> parseWhole(std::string& raw) {
    const Skeleton skeleton = skeletonOf(raw, true);
    auto whole = vmime::make_shared<TextStream>(std::move(raw));
    try {
        auto message = vmime::make_shared<vmime::message>();
        if (skeleton.text) {
            message->parse(*skeleton.text);
            std::map<size_t, Skeleton::Contents> left;
            for (const Skeleton::Contents& c : skeleton.contents)
                left.emplace(c.at, c);
            putContentsBack(*message, left, whole);
            if (left.empty()) {
                keepSubjectBlanks(*skeleton.text, *message->getHeader());
                return message;
            }
            // Some part was not where the skeleton had it: the whole text, as VMime reads it.
            message = vmime::make_shared<vmime::message>();
        }
        const auto bounded = skeletonOf(whole->text(), false).text;
        if (bounded)
            message->parse(*bounded);
        else
            message->parse(whole, whole->text().size());
        keepSubjectBlanks(bounded ? *bounded : whole->text(), *message->getHeader());
        return message;
    } catch (...) {
        raw = whole->release();
        throw;
    }
}

// The header's fields, without those the parser throws on.
void readableFields(const std::string& raw, vmime::header& header) {
    auto parse = [&header](const std::string& text) {
        try {
            header.parse(text);
            keepSubjectBlanks(text, header);
            return true;
        } catch (...) {
            header.removeAllFields();
            return false;
        }
    };
    // The field by field check only when the whole fails: it parses every field again.
    if (!parse(raw))
        parse(withoutRejectedFields(raw));
}

vmime::shared_ptr<vmime::message> parseLeniently(std::string original) {
    std::string raw = withUndecodableWordsKept(std::move(original));
    try {
        return parseWhole(raw);
    } catch (...) {
        // Some field VMime cannot read: read the message without it.
    }
    try {
        std::string readable = withoutRejectedFields(raw);
        return parseWhole(readable);
    } catch (...) {
        // Still unreadable as MIME: the header's readable fields, and the body as plain text.
    }
    const size_t split = bodyStart(raw);
    auto message = vmime::make_shared<vmime::message>();
    readableFields(raw.substr(0, split), *message->getHeader());
    for (const char* field :
         {vmime::fields::CONTENT_TYPE, vmime::fields::CONTENT_TRANSFER_ENCODING})
        message->getHeader()->removeAllFields(field);
    message->getBody()->setContents(
        vmime::make_shared<vmime::stringContentHandler>(raw.substr(split)));
    return message;
}

// VMime set up, and made to keep the values of the fields read as written
// (Authentication-Results) rather than decode them: once, before the first parse, as the
// registry is VMime's own, shared by every parse.
void ready() {
    initialize();
    static std::once_flag once;
    std::call_once(once, [] {
        vmime::headerFieldFactory::getInstance()->registerFieldValue<RawValue>(
            "Authentication-Results");
    });
}

} // namespace

vmime::shared_ptr<vmime::header> parseHeader(const std::string& raw) {
    ready();
    auto header = vmime::make_shared<vmime::header>();
    readableFields(withUndecodableWordsKept(raw), *header);
    keepOriginFields(originFields(raw), *header);
    return header;
}

vmime::shared_ptr<vmime::message> parseMessage(std::string raw) {
    ready();
    const OriginFields origin = originFields(raw);
    auto message = parseLeniently(std::move(raw));
    keepOriginFields(origin, *message->getHeader());
    return message;
}

OriginFields originFields(std::string_view raw) {
    OriginFields out;
    while (!raw.empty()) {
        const size_t nl = raw.find('\n');
        std::string_view line = raw.substr(0, nl);
        raw.remove_prefix(nl == std::string_view::npos ? raw.size() : nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || isBlankChar(line.front()))
            continue;
        std::string_view name = line.substr(0, colon);
        while (!name.empty() && isBlankChar(name.back()))
            name.remove_suffix(1);
        out.from += isNamed(name, "from") ? 1 : 0;
        out.subject += isNamed(name, "subject") ? 1 : 0;
    }
    return out;
}

QString unfoldedValue(std::string_view value) {
    std::string text;
    text.reserve(value.size());
    for (const char c : value)
        if (c != '\r' && c != '\n')
            text += c;
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return QString();
    const size_t last = text.find_last_not_of(" \t");
    return QString::fromUtf8(text.data() + first, static_cast<qsizetype>(last - first + 1));
}

namespace {

using Field = vmime::shared_ptr<const vmime::headerField>;

template <typename T> vmime::shared_ptr<const T> valueOf(const Field& field) {
    return field ? vmime::dynamicCast<const T>(field->getValue()) : nullptr;
}

} // namespace

void readHeader(const vmime::header& h, const QDateTime& fallback, MailSummary& s) {
    // One pass over the fields, where a look-up by name would make one for each: the first of
    // each field counts, but every Authentication-Results.
    Field subject, from, to, cc, date, received, messageId;
    OriginFields origin;
    s.authenticationResults.clear();
    for (const auto& field : h.getFieldList()) {
        const std::string& name = field->getName();
        const auto is = [&name](std::string_view lower) { return isNamed(name, lower); };
        origin.from += is("from") ? 1 : 0;
        origin.subject += is("subject") ? 1 : 0;
        Field* first = is("subject")      ? &subject
                       : is("from")       ? &from
                       : is("to")         ? &to
                       : is("cc")         ? &cc
                       : is("date")       ? &date
                       : is("received")   ? &received // the top one: the hop into this mailbox
                       : is("message-id") ? &messageId
                                          : nullptr;
        if (first && !*first) {
            *first = field;
        } else if (is("authentication-results")) {
            // A field not parsed as written (by a parser other than ours) vouches for nothing.
            const auto raw = vmime::dynamicCast<const RawValue>(field->getValue());
            s.authenticationResults << (raw ? unfoldedValue(raw->text()) : QString());
        }
    }
    s.repeatedFromOrSubject = origin.repeated();
    if (const auto id = valueOf<vmime::messageId>(messageId))
        s.messageId = QString::fromStdString(id->generate());
    if (const auto text = valueOf<vmime::text>(subject))
        s.subject = toQString(*text);
    // An empty mailbox is a From field kept for its count alone.
    if (const auto mailbox = valueOf<vmime::mailbox>(from); mailbox && !mailbox->isEmpty()) {
        s.origAddress = addressOf(mailbox->getEmail());
        s.origDisplayName = toQString(mailbox->getName()).trimmed();
    }
    if (s.origDisplayName.isEmpty())
        s.origDisplayName = s.origAddress;
    s.recipients.clear();
    addRecipients(valueOf<vmime::addressList>(to), kRecipTo, s);
    addRecipients(valueOf<vmime::addressList>(cc), kRecipCc, s);

    s.received = QDateTime();
    if (received)
        s.received = toLocal(received->getValue<vmime::relay>()->getDate());
    if (!s.received.isValid())
        if (const auto d = valueOf<vmime::datetime>(date))
            s.received = toLocal(*d);
    if (!s.received.isValid())
        s.received = fallback;
}

std::vector<vmime::shared_ptr<const vmime::bodyPart>>
attachmentParts(const vmime::message& message) {
    std::vector<vmime::shared_ptr<const vmime::bodyPart>> out;
    const PartKind top = kindOf(*message.getHeader(), Place{});
    if (top.type == u"multipart")
        collectAttachments(message, top.subtype, out);
    return out;
}

QString noteText(const vmime::message& message) {
    QStringList plain;
    QString html;
    bool haveHtml = false;
    collectText(message, Place{}, plain, html, haveHtml);
    return noteTextOf(plain, haveHtml ? std::optional<QString>(html) : std::nullopt);
}

QString noteTextOf(const QStringList& plain, const std::optional<QString>& html) {
    QString text = plain.isEmpty() && html ? QTextDocumentFragment::fromHtml(*html).toPlainText()
                                           : plain.join(QStringLiteral("\n"));
    text.replace(QChar::Nbsp, u' ');
    return crlf(text);
}

} // namespace kelvo::vm
