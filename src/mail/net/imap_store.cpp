// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/imap_store.h"

#include "imap_client.h"
#include "mail/core/mail_error.h"
#include "mail/mime/message_reader.h"
#include "mail/mime/part_outline.h"
#include "mail/mime/plain_header.h"
#include "mail/mime/vmime_text.h"
#include "mail/net/imap_loan.h"

#include <QThreadPool>
#include <algorithm>
#include <deque>
#include <future>
#include <iterator>
#include <numeric>
#include <optional>
#include <string>

namespace kelvo {

namespace {

// The header fields a fetch reads (MailSummary), and nothing else of the header.
constexpr const char* kHeaderFields =
    "FROM TO CC SUBJECT DATE RECEIVED AUTHENTICATION-RESULTS MESSAGE-ID";

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

// The server's dates are the messages' arrival (INTERNALDATE), ours the top Received field:
// the search reaches this much further back, for clocks that differ and for delivery that
// took its time.
constexpr qint64 kSearchMargin = 3600;

// A date as IMAP writes one ("6-Dec-2026").
std::string imapDate(const QDate& day) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return std::to_string(day.day()) + '-' + months[day.month() - 1] + '-' +
           std::to_string(day.year());
}

// The address as an IMAP quoted string; nothing when it cannot be one (8-bit text, line
// breaks), or is too long to be an address.
std::optional<std::string> quoted(const QString& address) {
    if (address.size() > 254)
        return std::nullopt;
    std::string out = "\"";
    for (const QChar c : address) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u >= 0x7f)
            return std::nullopt;
        if (u == u'"' || u == u'\\')
            out += '\\';
        out += static_cast<char>(u);
    }
    return out + '"';
}

// The search for the unread mail the scope needs, or nothing when the scope leaves out none.
// YOUNGER (RFC 5032) counts seconds, which the server answers from its index. Without it,
// SINCE counts whole days of the server's zone, whatever zone ours is: a day more covers every
// zone. Not both: SINCE makes the server read the date of every unread mail, which costs more
// than the rest of the pass when thousands are unread.
std::optional<std::string> scopedSearch(const FetchScope& scope, bool within) {
    if (!scope.reach.isValid())
        return std::nullopt;
    std::string dated;
    if (within && scope.now.isValid()) {
        const qint64 age = std::max<qint64>(0, scope.reach.secsTo(scope.now));
        dated = "YOUNGER " + std::to_string(age + kSearchMargin);
    } else {
        const QDateTime from = scope.reach.addSecs(-kSearchMargin);
        dated = "SINCE " + imapDate(from.toUTC().date().addDays(-1));
    }
    if (scope.alsoFrom.isEmpty())
        return "UNSEEN " + dated;
    const std::optional<std::string> phone = quoted(scope.alsoFrom);
    if (!phone)
        return std::nullopt;
    return "UNSEEN OR " + dated + " FROM " + *phone;
}

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

std::vector<MailSummary> ImapStore::fetch(bool unreadOnly, const FetchScope& scope) {
    ImapClient& c = client();
    // A later fetch first learns of mail that arrived meanwhile.
    if (!fresh)
        c.noop();
    fresh = false;
    if (!unreadOnly && scope.newest > 0)
        return newest(c, static_cast<size_t>(scope.newest));
    const std::optional<std::string> criteria =
        unreadOnly ? scopedSearch(scope, c.offersCapability("WITHIN")) : std::nullopt;
    const std::vector<uint32_t> found = criteria ? c.uidSearch(*criteria) : c.search(unreadOnly);
    return summaries(c, found, !unreadOnly, criteria.has_value());
}

std::vector<MailSummary> ImapStore::newest(ImapClient& c, size_t wanted) {
    std::vector<uint32_t> all = c.search(false);
    std::sort(all.begin(), all.end());
    if (all.size() <= wanted)
        return summaries(c, all, true, false);
    const size_t before = all.size() - wanted;
    std::vector<MailSummary> last =
        summaries(c, std::vector<uint32_t>(all.begin() + std::ptrdiff_t(before), all.end()), true,
                  false);
    QDateTime oldest;
    for (const MailSummary& s : last)
        if (!oldest.isValid() || s.received < oldest)
            oldest = s.received;
    // Mail that arrived before those may still be newer by its stamp, if it arrived within the
    // margin of the oldest of them.
    std::vector<MailSummary> earlier;
    if (oldest.isValid()) {
        const std::string criteria =
            "1:" + std::to_string(all[before - 1]) + " SINCE " +
            imapDate(oldest.addSecs(-kSearchMargin).toUTC().date().addDays(-1));
        earlier = summaries(c, c.uidSearch(criteria), true, true);
    } else {
        earlier = summaries(c, std::vector<uint32_t>(all.begin(), all.begin() + std::ptrdiff_t(before)),
                            true, false);
    }
    // The others are counted and never read: blank, as if read, older than any.
    std::vector<MailSummary> out(before - std::min(before, earlier.size()));
    for (MailSummary& blank : out) {
        blank.seen = true;
        blank.received = QDateTime();
    }
    out.reserve(out.size() + earlier.size() + last.size());
    std::move(earlier.begin(), earlier.end(), std::back_inserter(out));
    std::move(last.begin(), last.end(), std::back_inserter(out));
    return out;
}

std::vector<MailSummary> ImapStore::summaries(ImapClient& c, const std::vector<uint32_t>& found,
                                              bool withFlags, bool byUid) {
    if (found.empty())
        return {};
    // PEEK: looking at a message never marks it read. The flags only where the search left
    // them unknown.
    SummaryBatches batches(validity, found.size());
    std::vector<uint32_t> order; // the messages' numbers, as the server answered
    order.reserve(found.size());
    c.fetchHeaders(
        found, withFlags, kHeaderFields,
        [&](FetchedItems&& items) {
            // The server may add news of other messages to the answer.
            if (items.uid == 0 || !items.hasSection)
                return;
            order.push_back(items.number);
            batches.add(std::move(items));
        },
        byUid);
    std::vector<MailSummary> out = batches.finish();
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

std::optional<MailStore::TextAlone> ImapStore::textAlone(const QString& id) {
    const uint32_t uid = uidOf(id);
    if (uid == 0)
        throw mailError(mailerr::InvalidMessage, id);
    ImapClient& c = client();
    const std::optional<vm::PartOutline> outline = c.fetchOutline(uid);
    const std::optional<vm::TextPlan> plan = outline ? vm::textPlan(*outline) : std::nullopt;
    if (!plan)
        return std::nullopt;
    const auto contents = [&](const vm::TextPlan::Piece& piece) {
        std::optional<std::string> bytes = c.fetchSection(uid, piece.section);
        if (!bytes)
            throw mailError(mailerr::InvalidMessage, id);
        return std::move(*bytes);
    };
    std::vector<std::string> plain;
    for (const vm::TextPlan::Piece& piece : plan->plain)
        plain.push_back(contents(piece));
    std::optional<std::string> html;
    if (plan->html)
        html = contents(*plan->html);
    return TextAlone{vm::planText(*plan, plain, html), plan->attachments};
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
