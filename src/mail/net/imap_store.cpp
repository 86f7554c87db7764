// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/imap_store.h"

#include "mail/net/imap_fetch_reader.h"
#include "mail/core/mail_error.h"
#include "mail/mime/message_reader.h"
#include "mail/mime/plain_header.h"
#include "mail/mime/vmime_text.h"

#include <QThreadPool>
#include <algorithm>
#include <deque>
#include <future>
#include <iterator>
#include <numeric>
#include <vmime/net/imap/IMAPCommand.hpp>
#include <vmime/net/imap/IMAPConnection.hpp>
#include <vmime/net/imap/IMAPStore.hpp>

namespace kelvo {

namespace {

namespace imap = vmime::net::imap;
using Parser = imap::IMAPParser;

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

// The header fields a fetch reads (MailSummary), and nothing else of the header.
constexpr const char* kHeaderFields = "FROM TO CC SUBJECT DATE RECEIVED AUTHENTICATION-RESULTS";

MailSummary summaryOf(const vm::FetchedItems& items, const QString& validity,
                      const QDateTime& now) {
    MailSummary s;
    s.attachmentCount.reset(); // counted when the message itself is read
    s.id = validity + u'.' + QString::number(items.uid);
    s.seen = items.seen;
    // Read with the lenient parse: a header it cannot read in full never stops the fetch of
    // the others.
    if (!vm::readPlainHeader(items.section, now, s))
        vm::readHeader(*vm::parseHeader(items.section), now, s);
    return s;
}

// Makes the summaries of a FETCH answer's messages in the order they came. Parsing the
// headers costs more than reading them, so they are parsed in batches on the pool's threads
// while the answer still arrives, and here when the pool is busy. Few batches wait at a time,
// so that little of the answer is held.
class SummaryBatches {
public:
    SummaryBatches(QString validity, size_t expected)
        : validity(std::move(validity)), now(QDateTime::currentDateTime()) {
        out.reserve(expected);
    }
    // Nothing parsed for this fetch runs on once it is gone.
    ~SummaryBatches() {
        for (auto& f : pending)
            f.wait();
    }

    void add(vm::FetchedItems&& items) {
        batch.push_back(std::move(items));
        if (batch.size() == kBatch)
            handOver();
    }

    std::vector<MailSummary> finish() {
        handOver();
        while (!pending.empty())
            collect();
        return std::move(out);
    }

private:
    static constexpr size_t kBatch = 200;
    static constexpr size_t kWaiting = 8;
    using Summaries = std::vector<MailSummary>;

    void handOver() {
        if (batch.empty())
            return;
        auto task = std::make_shared<std::packaged_task<Summaries()>>(
            [items = std::move(batch), validity = validity, now = now] {
                Summaries done;
                done.reserve(items.size());
                for (const auto& i : items)
                    done.push_back(summaryOf(i, validity, now));
                return done;
            });
        batch.clear();
        pending.push_back(task->get_future());
        if (!QThreadPool::globalInstance()->tryStart([task] { (*task)(); }))
            (*task)();
        while (pending.size() > kWaiting)
            collect();
    }

    void collect() {
        Summaries done = pending.front().get();
        pending.pop_front();
        std::move(done.begin(), done.end(), std::back_inserter(out));
    }

    const QString validity;
    const QDateTime now;
    std::vector<vm::FetchedItems> batch;
    std::deque<std::future<Summaries>> pending;
    Summaries out;
};

} // namespace

ImapStore::ImapStore(const vm::ServiceOptions& opts) : options(opts) {
    vm::initialize();
    vm::withRenewedToken(options, [&] {
        vm::guarded(options, mailerr::Failure, [&] {
            session = vmime::net::session::create();
            store = session->getStore(vmime::utility::url(vm::utf8(options.url)));
            vm::configure(*store, options);
            store->connect();
            validity = QString::number(validityOf(*command("SELECT INBOX", "SELECT")));
            selected = true;
            fresh = true;
        });
    });
}

ImapStore::~ImapStore() {
    close();
}

std::vector<MailSummary> ImapStore::fetch(bool unreadOnly) {
    requireOpen();
    return vm::guarded(options, mailerr::Failure, [&] {
        // A later fetch first learns of mail that arrived meanwhile.
        if (!fresh)
            command("NOOP", "NOOP");
        fresh = false;
        const std::vector<size_t> found = numbers(unreadOnly ? "UNSEEN" : "ALL");
        if (found.empty())
            return std::vector<MailSummary>();
        // PEEK: looking at a message never marks it read. The flags only where the search
        // left them unknown.
        SummaryBatches summaries(validity, found.size());
        std::vector<size_t> order; // the messages' numbers, as the server answered
        order.reserve(found.size());
        vm::fetchEach(connection(),
                      "FETCH " + sequenceSet(found) + (unreadOnly ? " (UID" : " (UID FLAGS") +
                          " BODY.PEEK[HEADER.FIELDS (" + kHeaderFields + ")])",
                      [&](vm::FetchedItems&& items) {
                          // The server may add news of other messages to the answer.
                          if (items.uid == 0 || !items.hasSection)
                              return;
                          order.push_back(items.number);
                          summaries.add(std::move(items));
                      });
        std::vector<MailSummary> out = summaries.finish();
        if (std::is_sorted(order.begin(), order.end()))
            return out;
        // Oldest first, whatever order the server answered in.
        std::vector<size_t> index(order.size());
        std::iota(index.begin(), index.end(), 0);
        std::stable_sort(index.begin(), index.end(),
                         [&](size_t a, size_t b) { return order[a] < order[b]; });
        std::vector<MailSummary> sorted;
        sorted.reserve(out.size());
        for (size_t i : index)
            sorted.push_back(std::move(out[i]));
        return sorted;
    });
}

vmime::shared_ptr<imap::IMAPConnection> ImapStore::connection() const {
    const auto imapStore = vmime::dynamicCast<imap::IMAPStore>(store);
    const auto connection = imapStore ? imapStore->getConnection() : nullptr;
    if (!connection || !connection->isConnected())
        throw vmime::exceptions::not_connected();
    return connection;
}

std::unique_ptr<Parser::response> ImapStore::command(const std::string& text, const char* name) {
    const auto connection = this->connection();
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

unsigned long ImapStore::validityOf(const Parser::response& answer) {
    for (const Parser::continue_req_or_response_data* item :
         answer.continue_req_or_response_data()) {
        const Parser::response_data* data = item->response_data();
        const Parser::resp_text* text =
            data && data->resp_cond_state() ? data->resp_cond_state()->resp_text() : nullptr;
        const Parser::resp_text_code* code = text ? text->resp_text_code() : nullptr;
        if (code && code->type() == Parser::resp_text_code::UIDVALIDITY && code->nz_number())
            return code->nz_number()->value();
    }
    return 0;
}

void ImapStore::requireOpen() const {
    if (!selected)
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
        std::string raw;
        bool found = false;
        {
            const auto answer =
                command("UID FETCH " + std::to_string(uid) + " (UID BODY.PEEK[])", "FETCH");
            for (const Parser::continue_req_or_response_data* item :
                 answer->continue_req_or_response_data()) {
                const Parser::response_data* data = item->response_data();
                if (found || !data || !data->message_data() ||
                    data->message_data()->type() != Parser::message_data::FETCH)
                    continue;
                // The server may add news of other messages to the answer.
                for (const Parser::msg_att_item* att : data->message_data()->msg_att()->items())
                    if (att->type() == Parser::msg_att_item::BODY_SECTION && att->nstring() &&
                        !att->nstring()->value().empty()) {
                        raw = att->nstring()->value();
                        found = true;
                        break;
                    }
            }
        } // the answer is freed before the parse: a large message is held once while parsed
        if (!found)
            throw mailError(mailerr::InvalidMessage, id);
        return vm::parseMessage(std::move(raw));
    });
}

void ImapStore::setSeen(const QStringList& ids, bool seen) {
    std::vector<size_t> uids;
    for (const QString& id : ids)
        if (const unsigned long uid = uidOf(id))
            uids.push_back(uid);
    if (uids.empty())
        return;
    requireOpen();
    vm::guarded(options, mailerr::Failure, [&] {
        command("UID STORE " + sequenceSet(uids) + (seen ? " +" : " -") + "FLAGS.SILENT (\\Seen)",
                "STORE");
    });
}

void ImapStore::close() {
    try {
        if (store && store->isConnected())
            store->disconnect();
    } catch (...) {
        // The connection may already be gone; nothing is lost by not saying goodbye.
    }
    selected = false;
    store.reset();
}

} // namespace kelvo
