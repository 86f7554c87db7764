// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/mime/plain_header.h"

#include "mail/mime/message_reader.h"
#include "mail/mime/vmime_text.h"

#include <array>
#include <cstring>
#include <exception>

namespace kelvo::vm {

namespace {

using std::string_view;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

string_view trimmed(string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool equalNoCase(string_view a, const char* lower) {
    const size_t n = std::strlen(lower);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i])
            return false;
    }
    return true;
}

// Printable ASCII, blanks and line ends only: anything else (raw 8-bit text, ISO-2022-JP's
// escapes) is for the full parser and its charset handling.
bool isPlainText(string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x7f || (u < 0x20 && c != '\t' && c != '\r' && c != '\n'))
            return false;
        // A CR alone is no line end: the full parse keeps it in the text.
        if (c == '\r' && (i + 1 == s.size() || s[i + 1] != '\n'))
            return false;
    }
    return true;
}

bool isAtext(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("!#$%&'*+/=?^_`{|}~-", c) != nullptr;
}

// local@domain of dot-separated atoms, nothing else.
bool isPlainAddress(string_view a) {
    const size_t at = a.find('@');
    if (at == string_view::npos || at == 0 || at + 1 == a.size() ||
        a.find('@', at + 1) != string_view::npos)
        return false;
    auto dotAtoms = [](string_view part, bool domain) {
        if (part.front() == '.' || part.back() == '.' || part.find("..") != string_view::npos)
            return false;
        for (const char c : part)
            if (c != '.' &&
                !(domain ? (std::isalnum(static_cast<unsigned char>(c)) || c == '-') : isAtext(c)))
                return false;
        return true;
    };
    return dotAtoms(a.substr(0, at), false) && dotAtoms(a.substr(at + 1), true);
}

// A display name of words, or one quoted string without escapes; encoded words decoded as the
// full parser decodes them.
bool plainName(string_view name, QString& out) {
    name = trimmed(name);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        name = name.substr(1, name.size() - 2);
        if (name.find_first_of("\"\\") != string_view::npos || name.find("=?") != string_view::npos)
            return false;
        out = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())).trimmed();
        return true;
    }
    if (name.find_first_of("\"\\()<>[]:;@,.") != string_view::npos)
        return false;
    if (name.find("=?") == string_view::npos) {
        // Words separated by single blanks, as the full parser leaves them.
        if (name.find("  ") != string_view::npos || name.find('\t') != string_view::npos)
            return false;
        out = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
        return true;
    }
    // Undecodable words are kept as written, as in the fields the full reader reads.
    static const std::string kField = "To: ";
    const std::string kept = withUndecodableWordsKept(kField + std::string(name) + "\r\n");
    vmime::text text;
    try {
        text.parse(kept.substr(kField.size(), kept.size() - kField.size() - 2));
    } catch (const std::exception&) {
        return false; // words the parser throws on: the full parse leaves the field out
    }
    out = toQString(text).trimmed();
    return true;
}

// "address", "<address>" or "name <address>".
bool plainMailbox(string_view item, MailRecipient& r) {
    item = trimmed(item);
    if (item.empty())
        return false;
    string_view address = item;
    if (item.back() == '>') {
        const size_t open = item.rfind('<');
        if (open == string_view::npos)
            return false;
        address = item.substr(open + 1, item.size() - open - 2);
        if (!plainName(item.substr(0, open), r.displayName))
            return false;
    }
    // "=?" may start an encoded word for the full parse, even where an address starts.
    if (!isPlainAddress(address) || address.find("=?") != string_view::npos)
        return false;
    r.address = QString::fromLatin1(address.data(), static_cast<qsizetype>(address.size()));
    if (r.displayName.isEmpty())
        r.displayName = r.address;
    return true;
}

// Mailboxes separated by commas outside quotes.
bool plainMailboxes(string_view value, int type, std::vector<MailRecipient>& out) {
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value[i] == '"')
            quoted = !quoted;
        if (i == value.size() || (value[i] == ',' && !quoted)) {
            MailRecipient r;
            r.type = type;
            if (!plainMailbox(value.substr(start, i - start), r))
                return false;
            out.push_back(std::move(r));
            start = i + 1;
        }
    }
    return !quoted;
}

QDateTime dateOf(string_view text) {
    vmime::datetime d;
    d.parse(std::string(trimmed(text)));
    return toLocal(d);
}

// "<left@right>": visible ASCII without blanks, brackets or a second "@".
bool plainMessageId(string_view id) {
    if (id.size() < 5 || id.front() != '<' || id.back() != '>')
        return false;
    const string_view inner = id.substr(1, id.size() - 2);
    const size_t at = inner.find('@');
    if (at == 0 || at == string_view::npos || at + 1 == inner.size() ||
        inner.find('@', at + 1) != string_view::npos)
        return false;
    for (const char c : inner)
        if (c <= ' ' || c >= 0x7f || c == '<' || c == '>' || c == '"' || c == '(' || c == ')' ||
            c == '\\' || c == ',' || c == ';' || c == ':' || c == '[' || c == ']')
            return false;
    return true;
}

// The fields a summary reads, each unfolded.
enum Field { Subject, From, To, Cc, Date, Received, MessageId, Count };

} // namespace

bool readPlainHeader(const std::string& raw, const QDateTime& fallback, MailSummary& s) {
    // Which of two senders or subjects counts is a reader's choice: the full parse says there
    // are two.
    if (originFields(raw).repeated())
        return false;
    std::array<std::string, Count> first;
    std::array<bool, Count> seen{};
    QStringList results;
    string_view rest(raw);
    while (!rest.empty()) {
        // One field: its first line and the lines that continue it.
        size_t end = 0;
        do {
            const size_t nl = rest.find('\n', end);
            end = nl == string_view::npos ? rest.size() : nl + 1;
        } while (end < rest.size() && isBlank(rest[end]));
        string_view field = rest.substr(0, end);
        rest.remove_prefix(end);
        if (field == "\r\n" || field == "\n")
            break; // the header ends
        const size_t colon = field.find(':');
        if (colon == string_view::npos || colon == 0 || isBlank(field.front()))
            return false;
        const string_view written = field.substr(0, colon);
        const string_view name = trimmed(written);
        static constexpr std::array<const char*, Count> kNames = {
            "subject", "from", "to", "cc", "date", "received", "message-id"};
        int which = Count;
        for (int i = 0; i < Count; ++i)
            if (equalNoCase(name, kNames[static_cast<size_t>(i)]))
                which = i;
        const bool authResults = which == Count && equalNoCase(name, "authentication-results");
        if (which == Count && !authResults)
            continue;
        // "From :" is a field of the obsolete syntax, which the full parse reads.
        if (name.size() != written.size() || !isPlainText(field))
            return false;
        if (which != Count && seen[static_cast<size_t>(which)])
            continue; // the first of each counts: the top Received is the hop into this box
        if (which == Subject) {
            // The subject keeps its blanks and undecodable words as the full reader has them.
            first[Subject] = std::string(field);
            seen[Subject] = true;
            continue;
        }
        if (authResults) {
            results << unfoldedValue(field.substr(colon + 1));
            continue;
        }
        std::string value;
        for (char c : field.substr(colon + 1))
            if (c != '\r' && c != '\n')
                value += c == '\t' ? ' ' : c;
        first[static_cast<size_t>(which)] = std::move(value);
        seen[static_cast<size_t>(which)] = true;
    }

    MailSummary out;
    out.id = s.id;
    out.seen = s.seen;
    out.attachmentCount = s.attachmentCount;
    out.authenticationResults = results;
    if (seen[From]) {
        std::vector<MailRecipient> from;
        if (!plainMailboxes(first[From], kRecipTo, from) || from.size() != 1)
            return false;
        out.origAddress = from.front().address;
        out.origDisplayName = from.front().displayName;
    }
    if (seen[To] && !plainMailboxes(first[To], kRecipTo, out.recipients))
        return false;
    if (seen[Cc] && !plainMailboxes(first[Cc], kRecipCc, out.recipients))
        return false;
    if (seen[Received]) {
        const size_t semicolon = first[Received].rfind(';');
        if (semicolon == std::string::npos)
            return false;
        out.received = dateOf(string_view(first[Received]).substr(semicolon + 1));
    }
    if (seen[MessageId]) {
        // Only "<left@right>" of plain characters is read here, as the full parse writes it
        // back; anything else is left to it.
        const string_view id = trimmed(first[MessageId]);
        if (!plainMessageId(id))
            return false;
        out.messageId = QString::fromLatin1(id.data(), static_cast<qsizetype>(id.size()));
    }
    if (!out.received.isValid() && seen[Date])
        out.received = dateOf(first[Date]);
    if (!out.received.isValid())
        out.received = fallback;
    if (seen[Subject]) {
        const auto header = parseHeader(first[Subject]);
        if (const auto field = header->findField(vmime::fields::SUBJECT))
            if (const auto text = vmime::dynamicCast<const vmime::text>(field->getValue()))
                out.subject = toQString(*text);
    }
    s = std::move(out);
    return true;
}

} // namespace kelvo::vm
