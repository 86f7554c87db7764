// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/error.h"

#include <QString>
#include <QStringList>

namespace kelvo {

// Error numbers of the mail layer. Each failure is raised as a KelvoError whose description
// starts with the Japanese text below and, when the library gave one, goes on with its own text.
namespace mailerr {
inline constexpr int Failure = 32002;           // any other failure of the mail system
inline constexpr int LoginFailed = 32003;       // the server refused the user name or password
inline constexpr int UnknownRecipient = 32014;  // the address book lacks the name
inline constexpr int InvalidMessage = 32017;    // no such message, or none is current
inline constexpr int InvalidSession = 32019;    // the messages control carries no live session
inline constexpr int SessionExists = 32050;     // sign-on while signed on
inline constexpr int ReadOnly = 32051;          // a received message cannot be changed
inline constexpr int NoSession = 32053;         // the call needs a sign-on
inline constexpr int InvalidRecipient = 32054;  // no such recipient of the current message
inline constexpr int NoRecipient = 32057;       // the outgoing message has no recipient
inline constexpr int ConnectionRefused = 32100; // nothing listens at the server's port
inline constexpr int HostNotFound = 32101;      // the server's name does not resolve
inline constexpr int TimedOut = 32102;          // the server did not answer in time
inline constexpr int CertificateNotTrusted = 32103;
inline constexpr int MailboxMissing = 32104;
inline constexpr int ProfileMissing = 32105;
inline constexpr int SendRefused = 32106; // the server or program would not take the mail
inline constexpr int ProfileInsecure =
    32107; // others can change the profiles file, or read the password in it
inline constexpr int MarksNotStored = 32108; // read marks could not be written to the mailbox
inline constexpr int NoAddressBook = 32109;
inline constexpr int ProfileInvalid = 32110; // the profiles file or a profile in it is wrong
inline constexpr int CommandFailed = 32111;  // the download or password command failed
inline constexpr int SendDeferred = 32112;   // the server would not take the mail for now (4xx)
inline constexpr int ConnectionLost = 32113; // the connection broke off while the server is up
inline constexpr int SignInNeeded = 32114; // no usable token or stored password: --sign-in again
inline constexpr int KeyringUnavailable = 32115; // no Secret Service running, or it is locked
inline constexpr int TokenFailed = 32116; // the token endpoint could not be reached or refused
} // namespace mailerr

// The mail system could not be reached or would not work at the moment: nothing was wrong with
// the mail a call was about, and the same call may work later.
bool isOutage(int number);

// A sign-on failed for want of a usable token or stored secret: only a person can mend it
// (kelvo --sign-in, or the self-test's sign-on test).
bool needsSignIn(int number);

// The Japanese text for an error number of the mail layer.
QString mailErrorText(int number);

// A KelvoError with the number's Japanese text, followed by the detail when there is one.
KelvoError mailError(int number, const QString& detail = QString());

// The text with every secret (a password) blotted out, so none reaches the monitor or log.
QString redacted(QString text, const QStringList& secrets);

} // namespace kelvo
