// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "mail/core/command_policy.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace kelvo {

// Where a profile's mailbox is and how its mail is sent. Profiles are the sections of
// profiles.ini in the per-user configuration folder (UTF-8), one section per profile name:
//
//   store            imap://host[:port], imaps://host[:port], or the folder of a Maildir
//   transport        smtp://host[:port], smtps://host[:port], or a sendmail-compatible program
//   user             the user name at the servers
//   password         the password (the file must then be readable by its owner only)
//   password-command a shell command that prints the password
//   from             the From of sent mail: "Name <address>" or an address
//   address-book     a vCard file that ResolveName searches
//   download-command a shell command run at sign-on to bring new mail into the mailbox
//   timeout          seconds to wait for a server or a command (default 60)
//   ca-file          extra trusted certificates (PEM) for a server with a private CA
//   starttls         required, optional or no, for imap:// and smtp:// (default: required on
//                    port 587, optional elsewhere)
//   smtp-auth        no: send without signing on to the SMTP server
//   command-check    none (the default), dkim or dmarc: commands from the phone's address
//                    act only when the receiving server's Authentication-Results says so
//   authserv-id      the name that server writes into the field; "-": it writes none
//   command-pin      a PIN the command mail's first line must hold (a secret, like password)
//   push             yes: between passes, learn of new mail as it arrives (IMAP IDLE, or
//                    the Maildir's new/ folder watched) and start the next pass at once
//   default          yes: the profile used when none is named
//   auth             password (the default) or oauth2: sign on with an OAuth 2.0 access token
//   oauth2-provider  google, microsoft or custom: where the tokens come from
//   client-id        the application the user registered with the provider
//   client-secret    its secret, for providers that want one
//   tenant           microsoft: the directory (default common)
//   authorize-url    custom: the authorization endpoint
//   token-url        custom: the token endpoint
//   scope            custom: the scopes asked for, separated by blanks
//   token-command    oauth2: a shell command that prints a fresh access token instead
//   password-store   keyring: the password is kept in the desktop keyring (kelvo --sign-in)
//   inbox            names of other profiles, separated by commas: their Inboxes together are
//                    this profile's Inbox. Such a profile keeps no store, push or
//                    download-command; without a transport it sends through the first named
//                    profile's, with that profile's sign-on
struct OAuth2Profile {
    QString provider;
    QString clientId;
    QString clientSecret;
    QString tenant;
    QString authorizeUrl; // filled in for google and microsoft
    QString tokenUrl;
    QString scope;
    QString tokenCommand;
};

struct MailProfile {
    QString name;
    QString store;
    QString transport;
    QString user;
    QString password;
    QString passwordCommand;
    QString from;
    QString addressBook;
    QString downloadCommand;
    int timeoutSeconds = 60;
    QString caFile;
    QString starttls;
    bool smtpAuth = true;
    CommandPolicy commands;
    bool push = false;
    bool oauth2 = false;           // auth = oauth2
    OAuth2Profile oauth;           // with oauth2
    bool passwordInKeyring = false; // password-store = keyring
    // inbox: the profiles whose Inboxes make this one's, in the order named. Empty for a
    // profile with a store of its own.
    std::vector<MailProfile> stores;
    bool ownTransport = true; // false: it sends as stores.front() does

    bool combines() const { return !stores.empty(); }
    bool storeIsImap() const;
    bool transportIsSmtp() const;
};

// $XDG_CONFIG_HOME/kelvo/profiles.ini.
QString defaultProfilesPath();

// The local mailbox, used when there is no profiles file: the Maildir ~/Maildir and the
// system's sendmail program.
MailProfile builtInProfile();

// The profile to sign on with: the named one, or (for an empty name) the one marked default,
// or the only one; the built-in one when the file does not exist. Raises ProfileMissing for a
// name the file lacks, ProfileInsecure for a file that others can change (its owner or mode, the
// folder that holds it, a link on the way to it or that link's folder; a group of the owner's
// alone does not count) or that holds a password or a command-pin and can be read by others,
// ProfileInvalid for a file that cannot be read, is over 1 MB, names a section twice, has an
// unknown key or a wrong value (a server URL with a bad port, command-check without
// authserv-id, oauth2 without client-id or token-command, an inbox that names an unknown
// profile, itself or another profile with an inbox, or store, push or download-command beside
// an inbox). Errors name the file, the line and
// the key, never a value.
MailProfile selectProfile(const QString& path, const QString& name);

} // namespace kelvo
