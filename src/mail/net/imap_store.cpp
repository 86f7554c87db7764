// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/imap_store.h"

#include "imap_client.h"
#include "mail/core/mail_error.h"
#include "mail/mime/message_reader.h"
#include "mail/mime/plain_header.h"
#include "mail/mime/vmime_text.h"
#include "mail/net/imap_loan.h"

#include <QThreadPool>
#include <algorithm>
#include <deque>
#include <future>
#include <iterator>
#include <numeric>

namespace kelvo {

namespace {

// The header fields a fetch reads (MailSummary), and nothing else of the header.
constexpr const char* kHeaderFields = "FROM TO CC SUBJECT DATE RECEIVED AUTHENTICATION-RESULTS";

MailSummary summaryOf(const FetchedItems& items, const QString& validity, const QDateTime& now) {
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

    void add(FetchedItems&& items) {
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
    std::vector<FetchedItems> batch;
    std::deque<std::future<Summaries>> pending;
    Summaries out;
};

} // namespace

ImapStore::ImapStore(const ServerOptions& opts, std::shared_ptr<ImapLoan> lender)
    : options(opts), loan(std::move(lender)) {
    vm::initialize();
    if (loan) {
        imap = loan->borrow(std::chrono::seconds(std::max(1, options.timeoutSeconds)));
        try {
            if (imap)
                validity = QString::number(imap->openInbox(false, mailerr::Failure));
        } catch (...) {
            // Back to the push connection, which learns of a fault at its next IDLE; the pass
            // tries a connection of its own.
            close();
        }
    }
    if (!imap) {
        loan.reset();
        imap = std::make_unique<ImapClient>(options);
        validity = QString::number(imap->openInbox(false, mailerr::Failure));
    }
    fresh = true;
}

ImapStore::~ImapStore() {
    close();
}

ImapClient& ImapStore::client() const {
    if (!imap)
        throw mailError(mailerr::NoSession);
    return *imap;
}

std::vector<MailSummary> ImapStore::fetch(bool unreadOnly) {
    ImapClient& c = client();
    // A later fetch first learns of mail that arrived meanwhile.
    if (!fresh)
        c.noop();
    fresh = false;
    const std::vector<uint32_t> found = c.search(unreadOnly);
    if (found.empty())
        return {};
    // PEEK: looking at a message never marks it read. The flags only where the search left
    // them unknown.
    SummaryBatches summaries(validity, found.size());
    std::vector<uint32_t> order; // the messages' numbers, as the server answered
    order.reserve(found.size());
    c.fetchHeaders(found, !unreadOnly, kHeaderFields, [&](FetchedItems&& items) {
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
}

uint32_t ImapStore::uidOf(const QString& id) const {
    const qsizetype dot = id.indexOf(u'.');
    if (dot < 0 || id.left(dot) != validity)
        return 0;
    bool ok = false;
    const uint32_t uid = id.mid(dot + 1).toUInt(&ok);
    return ok ? uid : 0;
}

vmime::shared_ptr<vmime::message> ImapStore::message(const QString& id) {
    const uint32_t uid = uidOf(id);
    if (uid == 0)
        throw mailError(mailerr::InvalidMessage, id);
    std::optional<std::string> raw = client().fetchMessage(uid);
    if (!raw)
        throw mailError(mailerr::InvalidMessage, id);
    // The message keeps the bytes it is given: a large one is held once.
    return vm::parseMessage(std::move(*raw));
}

void ImapStore::setSeen(const QStringList& ids, bool seen) {
    std::vector<uint32_t> uids;
    for (const QString& id : ids)
        if (const uint32_t uid = uidOf(id))
            uids.push_back(uid);
    if (uids.empty())
        return;
    client().storeSeen(uids, seen);
}

void ImapStore::close() {
    if (imap && loan)
        imap = loan->giveBack(std::move(imap));
    if (imap)
        imap->logout();
    imap.reset();
}

} // namespace kelvo
