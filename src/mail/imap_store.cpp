#include "mail/imap_store.h"

#include "mail/mail_error.h"
#include "mail/message_reader.h"
#include "mail/vmime_text.h"

#include <algorithm>
#include <vmime/net/imap/IMAPCommand.hpp>
#include <vmime/net/imap/IMAPConnection.hpp>
#include <vmime/net/imap/IMAPFolder.hpp>
#include <vmime/net/imap/IMAPMessageStructure.hpp>
#include <vmime/net/imap/IMAPStore.hpp>

namespace kelvo {

namespace {

namespace imap = vmime::net::imap;
using Parser = imap::IMAPParser;
using vmime::net::messageSet;

// Message numbers, ascending, as an IMAP sequence set of ranges ("1:3,7").
std::string sequenceSet(std::vector<size_t> numbers) {
    std::sort(numbers.begin(), numbers.end());
    std::string set;
    for (size_t i = 0; i < numbers.size();) {
        size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
            ++j;
        if (!set.empty())
            set += ',';
        set += std::to_string(numbers[i]);
        if (j > i)
            set += ':' + std::to_string(numbers[j]);
        i = j + 1;
    }
    return set;
}

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
        // The summaries are read on the store's own connection, which is otherwise idle,
        // with the Inbox open read-only there. A later fetch first learns of mail that
        // arrived meanwhile.
        command(examined ? "NOOP" : "EXAMINE INBOX", examined ? "NOOP" : "EXAMINE");
        examined = true;
        const std::string set = sequenceSet(numbers(unreadOnly ? "UNSEEN" : "ALL"));
        if (set.empty())
            return out;
        // The whole header (RFC822.HEADER never sets the read mark) rather than named
        // fields, which are fetched without PEEK and would mark the messages read.
        const auto answer =
            command("FETCH " + set + " (UID FLAGS BODYSTRUCTURE RFC822.HEADER)", "FETCH");
        std::vector<std::pair<unsigned int, MailSummary>> found;
        const QDateTime now = QDateTime::currentDateTime();
        for (const Parser::continue_req_or_response_data* item :
             answer->continue_req_or_response_data()) {
            const Parser::response_data* data = item->response_data();
            if (data && data->message_data() &&
                data->message_data()->type() == Parser::message_data::FETCH)
                found.emplace_back(data->message_data()->number(),
                                   summaryOf(*data->message_data()->msg_att(), now));
        }
        // Oldest first, whatever order the server answered in.
        std::stable_sort(found.begin(), found.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& f : found)
            out.push_back(std::move(f.second));
        return out;
    });
}

std::unique_ptr<Parser::response> ImapStore::command(const std::string& text, const char* name) {
    const auto imapStore = vmime::dynamicCast<imap::IMAPStore>(store);
    const auto connection = imapStore ? imapStore->getConnection() : nullptr;
    if (!connection || !connection->isConnected())
        throw vmime::exceptions::not_connected();
    imap::IMAPCommand::createCommand(text)->send(connection);
    std::unique_ptr<Parser::response> answer(connection->readResponse());
    if (answer->isBad() ||
        answer->response_done()->response_tagged()->resp_cond_state()->status() !=
            Parser::resp_cond_state::OK)
        throw vmime::exceptions::command_error(name, answer->getErrorLog(), "bad response");
    return answer;
}

std::vector<size_t> ImapStore::numbers(const char* key) {
    const auto answer = command(std::string("SEARCH ") + key, "SEARCH");
    std::vector<size_t> found;
    for (const Parser::continue_req_or_response_data* item :
         answer->continue_req_or_response_data()) {
        const Parser::response_data* data = item->response_data();
        if (!data || !data->mailbox_data() ||
            data->mailbox_data()->type() != Parser::mailbox_data::SEARCH)
            continue;
        for (const Parser::nz_number* n : data->mailbox_data()->search_nz_number_list())
            found.push_back(n->value());
    }
    return found;
}

MailSummary ImapStore::summaryOf(const Parser::msg_att& attributes, const QDateTime& now) const {
    MailSummary s;
    for (const Parser::msg_att_item* item : attributes.items()) {
        switch (item->type()) {
        case Parser::msg_att_item::UID:
            s.id = validity + u'.' + QString::number(item->unique_id()->value());
            break;
        case Parser::msg_att_item::FLAGS:
            for (const Parser::flag* flag : item->flag_list()->flags())
                s.seen = s.seen || flag->type() == Parser::flag::SEEN;
            break;
        case Parser::msg_att_item::BODY_STRUCTURE:
            s.attachmentCount = vm::attachmentCount(imap::IMAPMessageStructure(item->body()));
            break;
        case Parser::msg_att_item::RFC822_HEADER:
        case Parser::msg_att_item::BODY_SECTION:
            // Read with the lenient parse: a header it cannot read in full never stops the
            // fetch of the others.
            vm::readHeader(*vm::parseMessage(item->nstring()->value())->getHeader(), now, s);
            break;
        default:
            break;
        }
    }
    return s;
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
        return vm::parseMessage(std::move(raw)); // held once, by the parsed message
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
