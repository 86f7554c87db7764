// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/net/imap_fetch_reader.h"

#include <cstring>
#include <vmime/net/imap/IMAPCommand.hpp>
#include <vmime/net/imap/IMAPStore.hpp>
#include <vmime/net/imap/IMAPTag.hpp>

namespace kelvo::vm {

namespace {

namespace imap = vmime::net::imap;

// The size a line announces for the literal after it ("{12}" or "{12+}" at its end), or -1.
long long literalSize(const std::string& line) {
    if (line.empty() || line.back() != '}')
        return -1;
    const size_t open = line.rfind('{');
    if (open == std::string::npos)
        return -1;
    size_t end = line.size() - 1;
    if (end > open + 1 && line[end - 1] == '+')
        --end;
    if (end == open + 1)
        return -1;
    long long n = 0;
    for (size_t i = open + 1; i < end; ++i) {
        if (line[i] < '0' || line[i] > '9' || n > (1LL << 40))
            return -1;
        n = n * 10 + (line[i] - '0');
    }
    return n;
}

// The bytes of the server's answer as lines and literals. VMime's parser takes each line off
// the front of its buffer, moving the rest every time; here the buffer is only compacted once
// most of it has been read.
class Input {
public:
    Input(vmime::shared_ptr<vmime::net::socket> socket,
          vmime::shared_ptr<vmime::net::timeoutHandler> timeout)
        : socket(std::move(socket)), timeout(std::move(timeout)) {}

    // The next line, without its end.
    std::string line() {
        size_t end;
        while ((end = buffer.find('\n', pos)) == std::string::npos)
            fill();
        size_t stop = end;
        while (stop > pos && buffer[stop - 1] == '\r')
            --stop;
        std::string out = buffer.substr(pos, stop - pos);
        pos = end + 1;
        return out;
    }

    std::string literal(size_t size) {
        while (buffer.size() - pos < size)
            fill();
        std::string out = buffer.substr(pos, size);
        pos += size;
        return out;
    }

private:
    void fill() {
        if (pos > 0 && pos * 2 >= buffer.size()) {
            buffer.erase(0, pos);
            pos = 0;
        }
        if (timeout)
            timeout->resetTimeOut();
        for (;;) {
            if (timeout && timeout->isTimeOut() && !timeout->handleTimeOut())
                throw vmime::exceptions::operation_timed_out();
            socket->receive(chunk);
            if (!chunk.empty())
                break;
            if (socket->getStatus() & vmime::net::socket::STATUS_WANT_WRITE)
                socket->waitForWrite();
            else
                socket->waitForRead();
        }
        buffer += chunk;
    }

    vmime::shared_ptr<vmime::net::socket> socket;
    vmime::shared_ptr<vmime::net::timeoutHandler> timeout;
    std::string buffer;
    std::string chunk;
    size_t pos = 0;
};

void readResponse(Input& input, ImapResponse& r) {
    r.lines.clear();
    r.literals.clear();
    for (;;) {
        std::string line = input.line();
        const long long size = literalSize(line);
        if (size < 0) {
            r.lines.push_back(std::move(line));
            return;
        }
        line.erase(line.rfind('{'));
        r.lines.push_back(std::move(line));
        r.literals.push_back(input.literal(static_cast<size_t>(size)));
    }
}

// The tokens of a response: atoms (a section such as BODY[HEADER.FIELDS (A B)] belongs to its
// atom), parentheses, and strings, quoted or literal.
class Tokens {
public:
    enum Kind { End, Atom, Open, Close, String };

    explicit Tokens(ImapResponse& r) : r(r) {}

    Kind next(std::string& text) {
        text.clear();
        for (;;) {
            const std::string& line = r.lines[piece];
            while (pos < line.size() && line[pos] == ' ')
                ++pos;
            if (pos < line.size())
                break;
            if (piece >= r.literals.size())
                return End;
            text = std::move(r.literals[piece]);
            ++piece;
            pos = 0;
            return String;
        }
        const std::string& line = r.lines[piece];
        const char c = line[pos];
        if (c == '(' || c == ')') {
            ++pos;
            return c == '(' ? Open : Close;
        }
        if (c == '"') {
            for (++pos; pos < line.size() && line[pos] != '"'; ++pos) {
                if (line[pos] == '\\' && pos + 1 < line.size())
                    ++pos;
                text += line[pos];
            }
            ++pos;
            return String;
        }
        while (pos < line.size() && !std::strchr(" ()", line[pos])) {
            if (line[pos] == '[') {
                const size_t close = line.find(']', pos);
                const size_t end = close == std::string::npos ? line.size() : close + 1;
                text.append(line, pos, end - pos);
                pos = end;
                continue;
            }
            text += line[pos++];
        }
        return Atom;
    }

    // Passes over one value: an atom, a string or a parenthesised list.
    void skipValue(Kind kind) {
        std::string text;
        for (int depth = kind == Open ? 1 : 0; depth > 0;) {
            const Kind k = next(text);
            if (k == End)
                return;
            depth += k == Open ? 1 : k == Close ? -1 : 0;
        }
    }

private:
    ImapResponse& r;
    size_t piece = 0;
    size_t pos = 0;
};

bool startsWithNoCase(const std::string& text, const char* start) {
    return strncasecmp(text.c_str(), start, std::strlen(start)) == 0;
}

} // namespace

bool fetchedItems(ImapResponse& r, FetchedItems& out) {
    Tokens t(r);
    std::string text, number;
    if (t.next(text) != Tokens::Atom || text != "*" || t.next(number) != Tokens::Atom ||
        t.next(text) != Tokens::Atom || strcasecmp(text.c_str(), "FETCH") != 0 ||
        t.next(text) != Tokens::Open)
        return false;
    out = FetchedItems{};
    out.number = std::strtoull(number.c_str(), nullptr, 10);
    for (;;) {
        std::string name, value;
        if (t.next(name) != Tokens::Atom)
            return true;
        const Tokens::Kind kind = t.next(value);
        if (strcasecmp(name.c_str(), "UID") == 0 && kind == Tokens::Atom) {
            out.uid = std::strtoul(value.c_str(), nullptr, 10);
        } else if (strcasecmp(name.c_str(), "FLAGS") == 0 && kind == Tokens::Open) {
            while (t.next(value) == Tokens::Atom)
                out.seen = out.seen || strcasecmp(value.c_str(), "\\Seen") == 0;
        } else if (startsWithNoCase(name, "BODY[") && (kind == Tokens::String || value == "NIL")) {
            out.hasSection = true;
            out.section = kind == Tokens::String ? std::move(value) : std::string();
        } else {
            t.skipValue(kind);
        }
    }
}

void fetchEach(vmime::shared_ptr<imap::IMAPConnection> connection, const std::string& command,
               const std::function<void(FetchedItems&&)>& onFetch) {
    imap::IMAPCommand::createCommand(command)->send(connection);
    const std::string tag = std::string(*connection->getTag()) + ' ';
    // A reader of its own over the connection's socket: nothing is left over between one
    // command's answer and the next command.
    Input input(vmime::constCast<vmime::net::socket>(connection->getSocket()),
                connection->getStore()->getTimeoutHandlerFactory()->create());
    ImapResponse r;
    FetchedItems items;
    for (;;) {
        readResponse(input, r);
        const std::string& first = r.lines.front();
        if (first.compare(0, tag.size(), tag) == 0) {
            if (!startsWithNoCase(first.substr(tag.size()), "OK"))
                throw vmime::exceptions::command_error(command.substr(0, command.find(' ')), first,
                                                       "bad response");
            return;
        }
        if (fetchedItems(r, items))
            onFetch(std::move(items));
    }
}

} // namespace kelvo::vm
