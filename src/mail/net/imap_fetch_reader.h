// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Reads an IMAP server's answer to a FETCH one response at a time. Private to the mail layer.

#include <functional>
#include <string>
#include <vector>
#include <vmime/net/imap/IMAPConnection.hpp>

namespace kelvo::vm {

// What one untagged FETCH response says of a message, as far as an Inbox summary reads it.
struct FetchedItems {
    size_t number = 0;     // the message's sequence number
    unsigned long uid = 0; // 0 when the response names none
    bool seen = false;
    bool hasSection = false; // a BODY[...] item came
    std::string section;     // its contents
};

// One response of an answer: its lines, without their ends, and the literals that follow all
// but the last.
struct ImapResponse {
    std::vector<std::string> lines;
    std::vector<std::string> literals;
};

// The items of a "* n FETCH (...)" response (its literals are moved out), or false for any
// other response.
bool fetchedItems(ImapResponse& response, FetchedItems& out);

// Sends the command on the connection and hands each FETCH response of its answer to the
// callback as it arrives, so that the answer of a large Inbox is never held whole (VMime's
// parser builds a tree of all of it first). Other untagged responses are passed over. Throws
// vmime's command_error when the command is refused, and what the socket throws.
void fetchEach(vmime::shared_ptr<vmime::net::imap::IMAPConnection> connection,
               const std::string& command, const std::function<void(FetchedItems&&)>& onFetch);

} // namespace kelvo::vm
