// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The IMAP client of the pass and of the push connection, on libetpan. Private to the network
// room.

#include "mail/mime/part_outline.h"
#include "server_connection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct mailimap;
struct mailimap_fetch_att;
struct mailimap_msg_att;

namespace kelvo {

// What one FETCH response says of a message, as far as an Inbox summary reads it.
struct FetchedItems {
    uint32_t number = 0; // the message's sequence number
    uint32_t uid = 0;    // 0 when the response names none
    bool seen = false;
    bool hasSection = false; // a BODY[...] item came
    std::string section;     // its contents
};

// One connection and one sign-on to an IMAP server. Every command is bounded by the profile's
// timeout, as the sign-on is as a whole; every failure is raised as a KelvoError without a
// password or token in it.
class ImapClient {
public:
    // Connects and signs on: TLS from the start for imaps://, else STARTTLS as the options
    // say; the certificate checked; the secret presented once, by one mechanism: a password by
    // LOGIN (by AUTHENTICATE PLAIN where the server disables LOGIN), an access token by XOAUTH2
    // or, where the server offers only that, OAUTHBEARER, never by LOGIN or PLAIN. A refused
    // token is renewed once (options.password then holds the new one). The interruption, when
    // given, ends every wait from another thread.
    explicit ImapClient(ServerOptions& options,
                        std::shared_ptr<Interruption> interruption = nullptr);
    // Hangs up without a word, if still connected.
    ~ImapClient();
    ImapClient(const ImapClient&) = delete;
    ImapClient& operator=(const ImapClient&) = delete;

    // Opens the Inbox, read-only or not; its UIDVALIDITY, 0 when the server names none.
    // refusedNumber: the error number when the server refuses.
    uint32_t openInbox(bool readOnly, int refusedNumber);
    // The sequence numbers of the unread messages, or of all.
    std::vector<uint32_t> search(bool unreadOnly);
    // The UIDs of the messages the search criteria (ASCII, as the command writes them) find.
    std::vector<uint32_t> uidSearch(const std::string& criteria);
    // Fetches the UID, the flags when asked, and the header fields named of the messages (by
    // sequence number, or by UID), and hands each response to the callback as it arrives: the
    // answer is never held whole.
    void fetchHeaders(const std::vector<uint32_t>& numbers, bool withFlags,
                      const char* headerFields, const std::function<void(FetchedItems&&)>& each,
                      bool byUid = false);
    // The whole message of the UID without setting its read mark, downloaded once and held
    // once; nothing when the server has none.
    std::optional<std::string> fetchMessage(uint32_t uid);
    // The message's structure (BODYSTRUCTURE); nothing when the server has none.
    std::optional<vm::PartOutline> fetchOutline(uint32_t uid);
    // The contents of one part of the message ("1.2"), as encoded, without setting its read
    // mark; nothing when the server has none.
    std::optional<std::string> fetchSection(uint32_t uid, const std::string& section);
    void storeSeen(const std::vector<uint32_t>& uids, bool seen);
    void noop();
    // Whether the server offers IDLE once signed on.
    bool canIdle();
    // Whether the server offers the capability once signed on.
    bool offersCapability(const char* name);
    // Says goodbye and hangs up; failures are of no consequence and are not raised.
    void logout();

    ServerConnection& connection() { return *wire; }
    mailimap* session() { return imap; }

    // A tagged command line of our own, sent in one write (IDLE, DONE come untagged).
    void sendCommand(const char* command);

private:
    enum class Mechanism { None, Login, Plain, XOAuth2, OAuthBearer };
    // How the secret is presented, chosen once from what the server offers.
    struct SignOn {
        Mechanism mechanism = Mechanism::None;
        bool initialResponse = false; // SASL-IR
    };
    void signOn(ServerOptions& options);
    int present(const SignOn& how, const ServerOptions& options);
    // AUTHENTICATE by hand, where libetpan has no call for the mechanism (OAUTHBEARER) or
    // would go through a SASL library for it (PLAIN): the response with the command where the
    // server takes one, else on its go-ahead.
    int authenticate(const char* mechanism, const std::string& response, bool initialResponse,
                     const char* acknowledgement);
    void secureAsAsked(const ServerOptions& options);
    void askCapabilities();
    // Raises the error for a libetpan result that is not a success.
    void check(int result, const QString& what, int refusedNumber);
    void hangUp();
    // One UID FETCH of the message's UID and the item; its response to the callback.
    void fetchOne(uint32_t uid, mailimap_fetch_att* item, bool large,
                  const std::function<void(mailimap_msg_att*, std::string&&, bool)>& each);

    Endpoint endpoint;
    std::unique_ptr<ServerConnection> wire;
    mailimap* imap = nullptr;
};

} // namespace kelvo
