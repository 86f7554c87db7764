// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/profile_backend.h"

#include "mail/auth/sign_on_secret.h"
#include "mail/combined_inbox.h"
#include "mail/core/mail_error.h"
#include "mail/core/profiles.h"
#include "mail/mime/address_book.h"
#include "mail/mime/message_reader.h"
#include "mail/mime/message_writer.h"
#include "mail/mime/vmime_text.h"
#include "mail/net/imap_loan.h"
#include "mail/net/imap_store.h"
#include "mail/net/maildir_store.h"
#include "mail/net/sendmail_transport.h"
#include "mail/net/smtp_transport.h"
#include "mail/push_line.h"
#include "system/command_runner.h"

#include <QProcess>
#include <algorithm>
#include <future>
#include <mutex>
#include <optional>

namespace kelvo {

namespace {

// "Name <address>" or an address.
MailRecipient parseFrom(const QString& text) {
    vm::initialize();
    vmime::mailbox mb;
    mb.parse(vm::utf8(text));
    MailRecipient r;
    r.address = QString::fromStdString(mb.getEmail().toString());
    r.displayName = vm::toQString(mb.getName()).trimmed();
    if (r.address.isEmpty())
        r.address = text.trimmed();
    return r;
}

using WholeOnly = ProfileBackend::WholeOnly;

class ProfileConnection final : public MailConnection {
public:
    ProfileConnection(MailProfile profile, std::unique_ptr<MailStore> store,
                      std::unique_ptr<MailTransport> transport, QStringList secrets,
                      std::shared_ptr<WholeOnly> wholeOnly)
        : profile(std::move(profile)), store(std::move(store)), transport(std::move(transport)),
          secrets(std::move(secrets)), from(parseFrom(this->profile.from)),
          wholeOnly(std::move(wholeOnly)) {}
    ~ProfileConnection() override { close(); }

    std::vector<MailSummary> fetch(bool unreadOnly, const FetchScope& scope) override {
        withoutAttachments = scope.withoutAttachments;
        return store->fetch(unreadOnly, scope);
    }

    QString noteText(const QString& id) override {
        if (const MailStore::TextAlone* read = readAlone(id))
            return read->text;
        return vm::noteText(*message(id));
    }

    int attachmentCount(const QString& id) override {
        if (const MailStore::TextAlone* read = readAlone(id))
            return read->attachments;
        return static_cast<int>(vm::attachmentParts(*message(id)).size());
    }

    void setSeen(const QStringList& ids, bool seen) override { store->setSeen(ids, seen); }

    CommandPolicy commandPolicy() const override { return profile.commands; }

    void send(const OutgoingMail& mail) override {
        std::vector<vmime::shared_ptr<const vmime::bodyPart>> attachments;
        if (!mail.forwardOf.isEmpty())
            attachments = vm::attachmentParts(*message(mail.forwardOf));
        const vm::ComposedMessage composed(mail, from, attachments);
        transport->sendWritten(
            [&composed](vmime::utility::outputStream& out) { composed.write(out); }, from.address,
            mail.recipient.address);
    }

    MailRecipient resolveName(const QString& name) override {
        if (profile.addressBook.isEmpty())
            throw mailError(mailerr::NoAddressBook, name);
        if (!book)
            book = AddressBook::load(profile.addressBook);
        if (auto entry = book->find(name))
            return *entry;
        throw mailError(mailerr::UnknownRecipient, name);
    }

    bool resolvesLocally() const override { return true; } // the address book is a file

    void close() override {
        last.reset();
        alone.reset();
        aloneId.clear();
        if (transport)
            transport->close();
        if (store)
            store->close();
    }

private:
    // A message is read for its text and then forwarded with its attachments: the one read
    // last is kept, so that a large message is downloaded once.
    vmime::shared_ptr<vmime::message> message(const QString& id) {
        if (!last || lastId != id) {
            last.reset(); // the previous one goes before the next one comes
            last = store->message(id);
            lastId = id;
        }
        return last;
    }

    // Where no attachment is forwarded, a message is read without its attachments where the
    // store can; the one read last is kept, for its text and its count. Null: read it whole.
    const MailStore::TextAlone* readAlone(const QString& id) {
        if (!withoutAttachments || (last && lastId == id))
            return nullptr;
        if (wholeOnly->has(id))
            return nullptr;
        if (aloneId != id) {
            try {
                alone = store->textAlone(id);
            } catch (...) {
                // Whatever broke the quick way (a structure too deep for it, a connection
                // lost), the mail is read whole from the next pass on.
                wholeOnly->add(id);
                throw;
            }
            aloneId = id;
        }
        return alone ? &*alone : nullptr;
    }

    MailProfile profile;
    std::unique_ptr<MailStore> store;
    std::unique_ptr<MailTransport> transport;
    QStringList secrets;
    MailRecipient from;
    std::optional<AddressBook> book;
    vmime::shared_ptr<vmime::message> last;
    QString lastId;
    std::shared_ptr<WholeOnly> wholeOnly;
    bool withoutAttachments = false;
    std::optional<MailStore::TextAlone> alone;
    QString aloneId;
};

ServerOptions serverOptions(const MailProfile& p, const QString& url, const SignOnSecret& secret,
                            const std::function<void(const QString&)>& trace) {
    ServerOptions o;
    o.url = url;
    o.user = p.user;
    o.password = secret.value;
    o.bearer = secret.bearer;
    o.timeoutSeconds = p.timeoutSeconds;
    o.caFile = p.caFile;
    o.starttls = p.starttls;
    o.trace = trace;
    return o;
}

} // namespace

ProfileBackend::ProfileBackend(QString profilesPath) : path(std::move(profilesPath)) {}

bool ProfileBackend::WholeOnly::has(const QString& id) const {
    const std::lock_guard<std::mutex> hold(lock);
    return ids.contains(id);
}

void ProfileBackend::WholeOnly::add(const QString& id) {
    const std::lock_guard<std::mutex> hold(lock);
    if (ids.size() >= 1000) // bounded: what falls out is tried the quick way once more
        ids.clear();
    ids.insert(id);
}

void ProfileBackend::borrowFrom(const ProfilePushLine& line) {
    idle = line.idleClients();
}

namespace {

std::unique_ptr<MailTransport> openTransport(const MailProfile& p,
                                             const std::shared_ptr<SignOnSecret>& secret,
                                             const std::function<void(const QString&)>& trace) {
    if (!p.transportIsSmtp())
        return std::make_unique<SendmailTransport>(QProcess::splitCommand(p.transport),
                                                   p.timeoutSeconds);
    ServerOptions o = serverOptions(p, p.transport, *secret, trace);
    o.renewToken = [p, secret] {
        *secret = signOnSecret(p, true);
        return secret->value;
    };
    o.authenticate = p.smtpAuth;
    return std::make_unique<SmtpTransport>(o);
}

// One account's session. sender: the profile whose transport sends, when not its own.
std::unique_ptr<MailConnection> openProfile(const MailProfile& p, bool downloadMail,
                                            const std::shared_ptr<ImapLoan>& loan,
                                            const std::function<void(const QString&)>& trace,
                                            const std::shared_ptr<WholeOnly>& wholeOnly,
                                            const MailProfile* sender = nullptr,
                                            std::shared_ptr<SignOnSecret> senderSecret = {}) {
    if (downloadMail && !p.downloadCommand.isEmpty())
        runShellCommand(
            p.downloadCommand, p.timeoutSeconds,
            {mailerr::CommandFailed, QStringLiteral("download-command"), true, {p.password}});
    // The newest secret: a token the store renewed goes to the transport made after it.
    const auto secret = std::make_shared<SignOnSecret>(signOnSecret(p));
    std::unique_ptr<MailStore> store;
    if (p.storeIsImap()) {
        ServerOptions o = serverOptions(p, p.store, *secret, trace);
        o.renewToken = [p, secret] {
            *secret = signOnSecret(p, true);
            return secret->value;
        };
        store = std::make_unique<ImapStore>(o, loan);
    } else {
        store = std::make_unique<MaildirStore>(p.store);
    }
    QStringList secrets{secret->value};
    std::unique_ptr<MailTransport> transport;
    if (sender) {
        transport = openTransport(*sender, senderSecret, trace);
        secrets << senderSecret->value;
    } else {
        transport = openTransport(p, secret, trace);
    }
    return std::make_unique<ProfileConnection>(p, std::move(store), std::move(transport), secrets,
                                               wholeOnly);
}

bool setsCommandRule(const CommandPolicy& c) {
    return c.check != SenderCheck::None || !c.pin.isEmpty() || !c.authservId.isEmpty();
}

// The accounts of a combining profile sign on at once, each within its own timeout: those named
// (none named: all of them); one that fails is left out and named, and only when none signs on
// is the sign-on refused. An account with push borrows its push connection where one idles.
std::unique_ptr<MailConnection> openCombined(const MailProfile& p, bool downloadMail,
                                             const QStringList& only,
                                             const std::function<void(const QString&)>& trace,
                                             const std::shared_ptr<WholeOnly>& wholeOnly,
                                             const std::shared_ptr<IdleClients>& idle) {
    // The accounts trace from threads of their own.
    std::function<void(const QString&)> oneAtATime;
    if (trace)
        oneAtATime = [trace, lock = std::make_shared<std::mutex>()](const QString& line) {
            const std::lock_guard hold(*lock);
            trace(line);
        };
    const MailProfile& sender = p.ownTransport ? p : p.stores.front();
    std::shared_ptr<SignOnSecret> senderSecret;
    try {
        senderSecret = std::make_shared<SignOnSecret>(signOnSecret(sender));
    } catch (const KelvoError& e) {
        // Nothing can be sent: the pass signs on to none, and says whose sign-on it lacks.
        throw p.ownTransport ? e : CombinedConnection::naming(e, sender.name);
    }
    auto accounts = std::make_shared<std::vector<MailProfile>>();
    for (const MailProfile& store : p.stores) {
        MailProfile a = store;
        a.from = p.from;
        a.addressBook = p.addressBook;
        if (!setsCommandRule(a.commands))
            a.commands = p.commands;
        accounts->push_back(std::move(a));
    }
    // Kept by the session, which signs on to the accounts it left out when it needs them.
    CombinedConnection::Opener open = [accounts, sender = std::make_shared<MailProfile>(sender),
                                       senderSecret, oneAtATime, wholeOnly,
                                       idle](const QString& name, bool download) {
        const auto a = std::find_if(accounts->begin(), accounts->end(),
                                    [&](const MailProfile& x) { return x.name == name; });
        if (a == accounts->end())
            throw mailError(mailerr::ProfileMissing, name);
        const auto loan =
            a->storeIsImap() && a->push && idle ? idle->find(a->store, a->user) : nullptr;
        return openProfile(*a, download, loan, oneAtATime, wholeOnly, sender.get(), senderSecret);
    };
    const bool someOnly = std::any_of(accounts->begin(), accounts->end(),
                                      [&](const MailProfile& a) { return only.contains(a.name); });
    std::vector<InboxPart> parts;
    for (const MailProfile& a : *accounts)
        parts.push_back({a.name, nullptr, std::nullopt, someOnly && !only.contains(a.name)});
    std::vector<InboxPart*> now;
    for (InboxPart& part : parts)
        if (!part.later)
            now.push_back(&part);
    CombinedConnection::signOnAtOnce(now, open, downloadMail);
    if (std::none_of(parts.begin(), parts.end(), [](const InboxPart& x) { return bool(x.conn); }))
        throw *now.front()->down;
    return std::make_unique<CombinedConnection>(std::move(parts), p.commands, std::move(open));
}

} // namespace

std::unique_ptr<MailConnection> ProfileBackend::signOn(const QString& profileName,
                                                       bool downloadMail) {
    return signOnAccounts(profileName, downloadMail, {});
}

std::unique_ptr<MailConnection> ProfileBackend::signOnAccounts(const QString& profileName,
                                                               bool downloadMail,
                                                               const QStringList& accounts) {
    const MailProfile p = selectProfile(path, profileName);
    if (p.combines())
        return openCombined(p, downloadMail, accounts, trace, wholeOnly, idle);
    return openProfile(p, downloadMail,
                       p.storeIsImap() && p.push && idle ? idle->find(p.store, p.user) : nullptr,
                       trace, wholeOnly);
}

} // namespace kelvo
