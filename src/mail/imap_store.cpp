#include "mail/imap_store.h"

#include "mail/mail_error.h"
#include "mail/message_reader.h"
#include "mail/vmime_text.h"

#include <vmime/net/imap/IMAPFolder.hpp>

namespace kelvo {

namespace {
using vmime::net::fetchAttributes;
using vmime::net::messageSet;
} // namespace

ImapStore::ImapStore(const vm::ServiceOptions& opts) : options(opts) {
    vm::initialize();
    vm::guarded(options, mailerr::Failure, [&] {
        session = vmime::net::session::create();
        store = session->getStore(vmime::utility::url(vm::utf8(options.url)));
        vm::configure(*store, options);
        store->connect();
        inbox = store->getDefaultFolder();
        inbox->open(vmime::net::folder::MODE_READ_WRITE);
        auto imap = vmime::dynamicCast<vmime::net::imap::IMAPFolder>(inbox);
        validity = QString::number(imap ? imap->getUIDValidity() : 0);
    });
}

ImapStore::~ImapStore() {
    close();
}

std::vector<MailSummary> ImapStore::fetch(bool unreadOnly) {
    requireOpen();
    return vm::guarded(options, mailerr::Failure, [&] {
        std::vector<MailSummary> out;
        // Learns of mail that arrived since the Inbox was opened.
        if (auto imap = vmime::dynamicCast<vmime::net::imap::IMAPFolder>(inbox))
            imap->noop();
        if (inbox->getMessageCount() == 0)
            return out;
        auto all = inbox->getAndFetchMessages(
            messageSet::byNumber(1, -1),
            fetchAttributes(fetchAttributes::FLAGS | fetchAttributes::UID));
        std::vector<vmime::shared_ptr<vmime::net::message>> kept;
        for (const auto& m : all)
            if (!unreadOnly || !(m->getFlags() & vmime::net::message::FLAG_SEEN))
                kept.push_back(m);
        if (kept.empty())
            return out;
        std::set<vmime::net::message*> unparsed;
        fetchHeaders(kept, unparsed);
        const QDateTime now = QDateTime::currentDateTime();
        for (const auto& m : kept) {
            MailSummary s;
            s.id = validity + u'.' + QString::fromStdString(static_cast<std::string>(m->getUID()));
            s.seen = m->getFlags() & vmime::net::message::FLAG_SEEN;
            if (unparsed.count(m.get())) {
                // Read from the whole message, which the lenient parse can always read.
                const auto whole = message(s.id);
                vm::readHeader(*whole->getHeader(), now, s);
                s.attachmentCount = static_cast<int>(vm::attachmentParts(*whole).size());
            } else {
                vm::readHeader(*m->getHeader(), now, s);
                s.attachmentCount = vm::attachmentCount(*m->getStructure());
            }
            out.push_back(std::move(s));
        }
        return out;
    });
}

void ImapStore::fetchHeaders(std::vector<vmime::shared_ptr<vmime::net::message>> messages,
                             std::set<vmime::net::message*>& unparsed) {
    try {
        // The whole header rather than named fields: named fields are fetched without PEEK
        // and would mark the messages read.
        inbox->fetchMessages(messages,
                             fetchAttributes(fetchAttributes::STRUCTURE |
                                             fetchAttributes::FULL_HEADER | fetchAttributes::UID));
    } catch (const vmime::exceptions::net_exception&) {
        throw;
    } catch (const vmime::exceptions::tls_exception&) {
        throw;
    } catch (...) {
        // The server answered, but VMime's parser threw on some message's header. The
        // halves are fetched again until the messages it throws on are known; they are then
        // read whole, one by one.
        if (!store->isConnected())
            throw;
        if (messages.size() == 1) {
            unparsed.insert(messages.front().get());
            return;
        }
        const auto middle = messages.begin() + static_cast<std::ptrdiff_t>(messages.size() / 2);
        fetchHeaders({messages.begin(), middle}, unparsed);
        fetchHeaders({middle, messages.end()}, unparsed);
    }
}

void ImapStore::requireOpen() const {
    if (!inbox)
        throw mailError(mailerr::NoSession);
}

unsigned long ImapStore::uidOf(const QString& id) const {
    const qsizetype dot = id.indexOf(u'.');
    if (dot < 0 || id.left(dot) != validity)
        return 0;
    bool ok = false;
    const unsigned long uid = id.mid(dot + 1).toULong(&ok);
    return ok ? uid : 0;
}

vmime::shared_ptr<vmime::message> ImapStore::message(const QString& id) {
    const unsigned long uid = uidOf(id);
    if (uid == 0)
        throw mailError(mailerr::InvalidMessage, id);
    requireOpen();
    return vm::guarded(options, mailerr::Failure, [&] {
        auto found = inbox->getMessages(messageSet::byUID(vmime::net::message::uid(uid)));
        if (found.empty())
            throw mailError(mailerr::InvalidMessage, id);
        std::string raw;
        vmime::utility::outputStreamStringAdapter out(raw);
        found.front()->extract(out, nullptr, 0, static_cast<size_t>(-1), true); // BODY.PEEK[]
        if (raw.empty())
            throw mailError(mailerr::InvalidMessage, id);
        return vm::parseMessage(raw);
    });
}

void ImapStore::setSeen(const QStringList& ids, bool seen) {
    std::vector<vmime::net::message::uid> uids;
    for (const QString& id : ids)
        if (const unsigned long uid = uidOf(id))
            uids.emplace_back(uid);
    if (uids.empty())
        return;
    requireOpen();
    vm::guarded(options, mailerr::Failure, [&] {
        inbox->setMessageFlags(messageSet::byUID(uids), vmime::net::message::FLAG_SEEN,
                               seen ? vmime::net::message::FLAG_MODE_ADD
                                    : vmime::net::message::FLAG_MODE_REMOVE);
    });
}

void ImapStore::close() {
    try {
        if (inbox && inbox->isOpen())
            inbox->close(false);
        if (store && store->isConnected())
            store->disconnect();
    } catch (...) {
        // The connection may already be gone; nothing is lost by not saying goodbye.
    }
    inbox.reset();
    store.reset();
}

} // namespace kelvo
