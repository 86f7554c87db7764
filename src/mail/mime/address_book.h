// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mail/core/mail_types.h"

#include <QString>
#include <optional>
#include <vector>

namespace kelvo {

// The entries of a vCard file (versions 2.1 to 4.0): full names and mail addresses.
class AddressBook {
public:
    struct Entry {
        QString name;
        QStringList addresses;
    };

    // Raises an error naming the file when it cannot be read.
    static AddressBook load(const QString& path);
    static AddressBook parse(const QByteArray& vcards);

    // The entry whose full name is the text, or one of whose addresses is the text without
    // regard to letter case: its name and the matching (or first) address.
    std::optional<MailRecipient> find(const QString& nameOrAddress) const;

    std::vector<Entry> entries;
};

} // namespace kelvo
