// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/mime/address_book.h"

#include "mail/core/mail_error.h"
#include "mail/mime/vmime_text.h"

#include <QFile>
#include <QList>

namespace kelvo {

namespace {

// Joins folded lines, and the soft line breaks of quoted-printable values.
QList<QByteArray> unfold(QByteArray data) {
    data.replace("\r\n", "\n");
    QList<QByteArray> lines;
    for (const QByteArray& raw : data.split('\n')) {
        if (!lines.isEmpty() && (raw.startsWith(' ') || raw.startsWith('\t')))
            lines.last() += raw.mid(1);
        else if (!lines.isEmpty() && lines.last().endsWith('=') &&
                 lines.last().toUpper().contains("QUOTED-PRINTABLE"))
            lines.last() = lines.last().chopped(1) + raw;
        else
            lines.append(raw);
    }
    return lines;
}

QString unescape(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar c = value[++i];
            out += (c == u'n' || c == u'N') ? QChar(u'\n') : c;
        } else {
            out += value[i];
        }
    }
    return out;
}

// A property line: its name (without a group), its parameters, its decoded value.
struct Property {
    QByteArray name;
    QString value;
};

std::optional<Property> property(const QByteArray& line) {
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return std::nullopt;
    QList<QByteArray> head = line.left(colon).split(';');
    QByteArray name = head.takeFirst().toUpper();
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.mid(dot + 1);
    QByteArray value = line.mid(colon + 1);
    std::string charset = "utf-8";
    for (const QByteArray& p : head) {
        const QByteArray upper = p.toUpper();
        if (upper == "QUOTED-PRINTABLE" || upper == "ENCODING=QUOTED-PRINTABLE")
            value = QByteArray::fromPercentEncoding(value, '=');
        else if (upper.startsWith("CHARSET="))
            charset = p.mid(8).toStdString();
    }
    return Property{name,
                    unescape(vm::decode(value.toStdString(), vmime::charset(charset))).trimmed()};
}

} // namespace

AddressBook AddressBook::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw mailError(mailerr::Failure, QStringLiteral("アドレス帳を読めません：") + path);
    return parse(file.readAll());
}

AddressBook AddressBook::parse(const QByteArray& vcards) {
    AddressBook book;
    std::optional<Entry> card;
    QString structuredName;
    for (const QByteArray& line : unfold(vcards)) {
        const auto p = property(line);
        if (!p)
            continue;
        if (p->name == "BEGIN" && p->value.compare(u"VCARD", Qt::CaseInsensitive) == 0) {
            card = Entry{};
            structuredName.clear();
        } else if (!card) {
            continue;
        } else if (p->name == "END") {
            if (card->name.isEmpty())
                card->name = structuredName;
            if (!card->addresses.isEmpty())
                book.entries.push_back(*card);
            card.reset();
        } else if (p->name == "FN") {
            card->name = p->value;
        } else if (p->name == "N") {
            // Family name, then given name.
            const QStringList parts = p->value.split(u';');
            structuredName = QStringList(parts.mid(0, 2)).join(u' ').trimmed();
        } else if (p->name == "EMAIL" && !p->value.isEmpty()) {
            card->addresses << p->value;
        }
    }
    return book;
}

std::optional<MailRecipient> AddressBook::find(const QString& text) const {
    for (const Entry& e : entries)
        if (e.name == text)
            return MailRecipient{kRecipTo, e.addresses.first(), e.name};
    for (const Entry& e : entries)
        for (const QString& a : e.addresses)
            if (a.compare(text, Qt::CaseInsensitive) == 0)
                return MailRecipient{kRecipTo, a, e.name.isEmpty() ? a : e.name};
    return std::nullopt;
}

} // namespace kelvo
