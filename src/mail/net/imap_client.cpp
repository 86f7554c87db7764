// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "imap_client.h"

#include "mail/core/mail_error.h"
#include "sasl.h"

#include <QByteArray>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <libetpan/libetpan.h>
#include <string_view>

namespace kelvo {

namespace {

bool succeeded(int r) {
    return r == MAILIMAP_NO_ERROR || r == MAILIMAP_NO_ERROR_AUTHENTICATED ||
           r == MAILIMAP_NO_ERROR_NON_AUTHENTICATED;
}

bool has(mailimap* imap, const char* capability) {
    return mailimap_has_extension(imap, capability) != 0;
}

bool offers(mailimap* imap, const char* mechanism) {
    return mailimap_has_authentication(imap, mechanism) != 0;
}

bool knowsCapabilities(const mailimap* imap) {
    return imap->imap_connection_info && imap->imap_connection_info->imap_capability;
}

// What the server said of the sign-on may change once it is done: the old list is dropped, so
// that a later look knows whether the answer to the sign-on brought a new one.
void forgetCapabilities(mailimap* imap) {
    if (!knowsCapabilities(imap))
        return;
    mailimap_capability_data_free(imap->imap_connection_info->imap_capability);
    imap->imap_connection_info->imap_capability = nullptr;
}

// Sequence numbers or UIDs as ranges of a set ("1:3,7").
mailimap_set* setOf(std::vector<uint32_t> numbers) {
    std::sort(numbers.begin(), numbers.end());
    mailimap_set* set = mailimap_set_new_empty();
    for (size_t i = 0; set && i < numbers.size();) {
        size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] <= numbers[j] + 1)
            ++j;
        if (mailimap_set_add_interval(set, numbers[i], numbers[j]) != MAILIMAP_NO_ERROR) {
            mailimap_set_free(set);
            set = nullptr;
        }
        i = j + 1;
    }
    if (!set)
        throw mailError(mailerr::Failure, QStringLiteral("mailimap_set"));
    return set;
}

mailimap_search_key* searchKey(int type) {
    return mailimap_search_key_new(type, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   0, nullptr, nullptr, nullptr);
}

// The libetpan structures of one call, freed however it ends.
template <typename T, void (*Free)(T*)> struct Owned {
    T* p;
    explicit Owned(T* p) : p(p) {}
    ~Owned() {
        if (p)
            Free(p);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
};

// A FETCH answer read response by response: its message items and body literals come through
// these, while libetpan parses, and nothing of them is kept there. Nothing may be thrown through
// libetpan's frames: a failure is kept and raised once the call has returned.
struct FetchReading {
    std::function<void(mailimap_msg_att*, FetchReading&)> onMessage;
    std::string literal;      // the body literal of the response being read
    bool literalCame = false; // a literal came for it
    bool reserveForLiteral = false;
    std::exception_ptr failure;
};

bool takeLiteral(int, mailimap_msg_att_body_section*, const char* bytes, size_t length,
                 void* context) {
    auto* reading = static_cast<FetchReading*>(context);
    try {
        reading->literal.append(bytes, length);
        reading->literalCame = true;
        return true;
    } catch (...) {
        reading->failure = std::current_exception();
        return false;
    }
}

void takeMessage(mailimap_msg_att* att, void* context) {
    auto* reading = static_cast<FetchReading*>(context);
    if (reading->failure)
        return;
    try {
        reading->onMessage(att, *reading);
    } catch (...) {
        reading->failure = std::current_exception();
    }
    reading->literal = std::string();
    reading->literalCame = false;
}

// The literal's size is known as its first bytes arrive: a large message is held in one
// piece from there on, never copied into a larger one.
void noteProgress(size_t, size_t size, void* context) {
    auto* reading = static_cast<FetchReading*>(context);
    constexpr size_t kLargestReserved = size_t(512) << 20;
    if (reading->reserveForLiteral && size <= kLargestReserved &&
        reading->literal.capacity() < size) {
        try {
            reading->literal.reserve(size);
        } catch (...) {
            // It grows as it comes instead.
        }
    }
}

void noteItems(size_t, size_t, void*) {}

// Sets the handlers for one FETCH and takes them away again.
class FetchHandlers {
public:
    FetchHandlers(mailimap* imap, FetchReading& reading) : imap(imap) {
        mailimap_set_msg_att_handler(imap, takeMessage, &reading);
        mailimap_set_msg_body_handler(imap, takeLiteral, &reading);
        // libetpan hands the messages to the handler only while progress is watched.
        mailimap_set_progress_callback(imap, noteProgress, noteItems, &reading);
    }
    ~FetchHandlers() {
        mailimap_set_msg_att_handler(imap, nullptr, nullptr);
        mailimap_set_msg_body_handler(imap, nullptr, nullptr);
        mailimap_set_progress_callback(imap, nullptr, nullptr, nullptr);
    }
    FetchHandlers(const FetchHandlers&) = delete;
    FetchHandlers& operator=(const FetchHandlers&) = delete;

private:
    mailimap* imap;
};

// The items of a FETCH response a summary or a message needs.
FetchedItems itemsOf(mailimap_msg_att* att, FetchReading& reading) {
    FetchedItems out;
    out.number = att->att_number;
    for (clistiter* it = att->att_list ? clist_begin(att->att_list) : nullptr; it;
         it = clist_next(it)) {
        const auto* item = static_cast<mailimap_msg_att_item*>(clist_content(it));
        if (item->att_type == MAILIMAP_MSG_ATT_ITEM_STATIC) {
            const mailimap_msg_att_static* fixed = item->att_data.att_static;
            if (fixed->att_type == MAILIMAP_MSG_ATT_UID) {
                out.uid = fixed->att_data.att_uid;
            } else if (fixed->att_type == MAILIMAP_MSG_ATT_BODY_SECTION) {
                out.hasSection = true;
                const mailimap_msg_att_body_section* body = fixed->att_data.att_body_section;
                if (reading.literalCame)
                    out.section = std::move(reading.literal);
                else if (body && body->sec_body_part) // a quoted string
                    out.section.assign(body->sec_body_part, body->sec_length);
            }
        } else if (item->att_type == MAILIMAP_MSG_ATT_ITEM_DYNAMIC) {
            const clist* flags =
                item->att_data.att_dyn ? item->att_data.att_dyn->att_list : nullptr;
            for (clistiter* f = flags ? clist_begin(flags) : nullptr; f; f = clist_next(f)) {
                const auto* flag = static_cast<mailimap_flag_fetch*>(clist_content(f));
                if (flag->fl_type == MAILIMAP_FLAG_FETCH_OTHER && flag->fl_flag &&
                    flag->fl_flag->fl_type == MAILIMAP_FLAG_SEEN)
                    out.seen = true;
            }
        }
    }
    return out;
}

std::string lowered(const char* text) {
    std::string out = text ? text : "";
    for (char& c : out)
        c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return out;
}

// A parameter name as the full parse takes it: RFC 2231 sections and charsets ("name*0*")
// name the same parameter.
bool hasParameter(const mailimap_body_fld_param* params, std::string_view name) {
    for (clistiter* it = params && params->pa_list ? clist_begin(params->pa_list) : nullptr; it;
         it = clist_next(it)) {
        const auto* p = static_cast<mailimap_single_body_fld_param*>(clist_content(it));
        const std::string n = lowered(p->pa_name);
        if (n.compare(0, name.size(), name) == 0 &&
            (n.size() == name.size() || n[name.size()] == '*'))
            return true;
    }
    return false;
}

std::optional<std::string> parameter(const mailimap_body_fld_param* params, std::string_view name) {
    for (clistiter* it = params && params->pa_list ? clist_begin(params->pa_list) : nullptr; it;
         it = clist_next(it)) {
        const auto* p = static_cast<mailimap_single_body_fld_param*>(clist_content(it));
        if (lowered(p->pa_name) == name && p->pa_value)
            return std::string(p->pa_value);
    }
    return std::nullopt;
}

const char* mediaType(const mailimap_media_basic* media) {
    switch (media->med_type) {
    case MAILIMAP_MEDIA_BASIC_APPLICATION:
        return "application";
    case MAILIMAP_MEDIA_BASIC_AUDIO:
        return "audio";
    case MAILIMAP_MEDIA_BASIC_IMAGE:
        return "image";
    case MAILIMAP_MEDIA_BASIC_MESSAGE:
        return "message";
    case MAILIMAP_MEDIA_BASIC_VIDEO:
        return "video";
    default:
        return media->med_basic_type;
    }
}

void readFields(const mailimap_body_fields* fields, vm::PartOutline& out) {
    if (!fields || !fields->bd_encoding) {
        out.complete = false;
        return;
    }
    out.named = hasParameter(fields->bd_parameter, "name");
    // RFC 2231 forms of the charset are left to the full parse.
    if (hasParameter(fields->bd_parameter, "charset")) {
        out.charset = parameter(fields->bd_parameter, "charset");
        out.complete = out.complete && out.charset.has_value();
    }
    const mailimap_body_fld_enc* e = fields->bd_encoding;
    switch (e->enc_type) {
    case MAILIMAP_BODY_FLD_ENC_7BIT:
        out.encoding = "7bit";
        break;
    case MAILIMAP_BODY_FLD_ENC_8BIT:
        out.encoding = "8bit";
        break;
    case MAILIMAP_BODY_FLD_ENC_BINARY:
        out.encoding = "binary";
        break;
    case MAILIMAP_BODY_FLD_ENC_BASE64:
        out.encoding = "base64";
        break;
    case MAILIMAP_BODY_FLD_ENC_QUOTED_PRINTABLE:
        out.encoding = "quoted-printable";
        break;
    default:
        out.encoding = lowered(e->enc_value);
    }
}

void readDisposition(const mailimap_body_fld_dsp* dsp, vm::PartOutline& out) {
    if (!dsp)
        return;
    out.disposition = lowered(dsp->dsp_type);
    out.named = out.named || hasParameter(dsp->dsp_attributes, "filename");
}

// The server's description of a part, no deeper than the full parse reads a message: what
// lies below is left out, and the outline says so.
vm::PartOutline outlineOf(const mailimap_body& body, const std::string& section, int depth) {
    vm::PartOutline out;
    out.section = section.empty() ? "1" : section;
    if (body.bd_type == MAILIMAP_BODY_MPART && body.bd_data.bd_body_mpart) {
        const mailimap_body_type_mpart* m = body.bd_data.bd_body_mpart;
        out.type = "multipart";
        out.subtype = lowered(m->bd_media_subtype);
        out.section = section;
        if (!m->bd_ext_mpart) {
            out.complete = false;
            return out;
        }
        out.boundary = hasParameter(m->bd_ext_mpart->bd_parameter, "boundary");
        readDisposition(m->bd_ext_mpart->bd_disposition, out);
        if (depth >= vm::kMaxNesting) {
            out.complete = false;
            return out;
        }
        int n = 0;
        for (clistiter* it = m->bd_list ? clist_begin(m->bd_list) : nullptr; it;
             it = clist_next(it)) {
            const std::string child =
                (section.empty() ? std::string() : section + '.') + std::to_string(++n);
            out.children.push_back(
                outlineOf(*static_cast<mailimap_body*>(clist_content(it)), child, depth + 1));
        }
        return out;
    }
    const mailimap_body_type_1part* one =
        body.bd_type == MAILIMAP_BODY_1PART ? body.bd_data.bd_body_1part : nullptr;
    if (!one || !one->bd_ext_1part) {
        out.complete = false;
        return out;
    }
    switch (one->bd_type) {
    case MAILIMAP_BODY_TYPE_1PART_TEXT:
        out.type = "text";
        out.subtype = lowered(one->bd_data.bd_type_text->bd_media_text);
        readFields(one->bd_data.bd_type_text->bd_fields, out);
        break;
    case MAILIMAP_BODY_TYPE_1PART_BASIC:
        out.type = lowered(mediaType(one->bd_data.bd_type_basic->bd_media_basic));
        out.subtype = lowered(one->bd_data.bd_type_basic->bd_media_basic->med_subtype);
        readFields(one->bd_data.bd_type_basic->bd_fields, out);
        break;
    case MAILIMAP_BODY_TYPE_1PART_MSG:
        out.type = "message";
        out.subtype = "rfc822";
        readFields(one->bd_data.bd_type_msg->bd_fields, out);
        break;
    default:
        out.complete = false;
    }
    readDisposition(one->bd_ext_1part->bd_disposition, out);
    return out;
}

} // namespace

ImapClient::ImapClient(ServerOptions& options, std::shared_ptr<Interruption> interruption)
    : endpoint(endpointOf(options.url)),
      wire(std::make_unique<ServerConnection>(endpoint, implicitTls(options.url), options.caFile,
                                              options.timeoutSeconds, options.trace,
                                              std::move(interruption))),
      imap(mailimap_new(0, nullptr)) {
    try {
        if (!imap)
            throw mailError(mailerr::Failure, QStringLiteral("mailimap"));
        const int greeting = mailimap_connect(imap, wire->openStream());
        check(greeting, QStringLiteral("IMAP"), mailerr::Failure);
        secureAsAsked(options);
        if (greeting != MAILIMAP_NO_ERROR_AUTHENTICATED)
            signOn(options);
        // Signed on: from now on each command has the whole time, and so has more data sent.
        wire->restartOnSend(true);
    } catch (...) {
        hangUp();
        if (imap)
            mailimap_free(imap);
        throw;
    }
}

ImapClient::~ImapClient() {
    hangUp();
    mailimap_free(imap);
}

void ImapClient::hangUp() {
    if (!imap)
        return;
    // The library would sign off first and wait for the server's answer.
    if (imap->imap_stream)
        mailstream_close(imap->imap_stream);
    imap->imap_stream = nullptr;
    imap->imap_state = MAILIMAP_STATE_DISCONNECTED;
}

void ImapClient::check(int result, const QString& what, int refusedNumber) {
    if (succeeded(result))
        return;
    if (wire->failed() || result == MAILIMAP_ERROR_STREAM)
        throw wire->lost(what);
    const QString said =
        imap->imap_response ? QString::fromUtf8(imap->imap_response).trimmed() : QString();
    const QString detail = said.isEmpty() ? what : what + QStringLiteral(": ") + said;
    if (result == MAILIMAP_ERROR_FATAL || result == MAILIMAP_ERROR_DONT_ACCEPT_CONNECTION)
        throw mailError(mailerr::ConnectionLost, detail); // the server said goodbye
    throw mailError(refusedNumber, detail);
}

void ImapClient::askCapabilities() {
    mailimap_capability_data* caps = nullptr;
    const int r = mailimap_capability(imap, &caps);
    if (caps)
        mailimap_capability_data_free(caps);
    check(r, QStringLiteral("CAPABILITY"), mailerr::Failure);
}

void ImapClient::secureAsAsked(const ServerOptions& options) {
    startTlsAsAsked(
        options,
        [&] {
            if (!knowsCapabilities(imap))
                askCapabilities();
            return has(imap, "STARTTLS");
        },
        [&] {
            check(mailimap_starttls(imap), QStringLiteral("STARTTLS"), mailerr::Failure);
            wire->startTls();
            askCapabilities(); // what the server said before TLS counts no more
        });
}

void ImapClient::signOn(ServerOptions& options) {
    if (!options.authenticate || options.user.isEmpty())
        return;
    if (!knowsCapabilities(imap))
        askCapabilities();
    SignOn how;
    how.initialResponse = has(imap, "SASL-IR");
    if (!options.bearer)
        how.mechanism = !has(imap, "LOGINDISABLED") ? Mechanism::Login
                        : offers(imap, "PLAIN")     ? Mechanism::Plain
                                                    : Mechanism::None;
    else
        how.mechanism = offers(imap, "XOAUTH2")       ? Mechanism::XOAuth2
                        : offers(imap, "OAUTHBEARER") ? Mechanism::OAuthBearer
                                                      : Mechanism::None;
    if (how.mechanism == Mechanism::None) // never a token by LOGIN or PLAIN
        throw mailError(mailerr::LoginFailed,
                        QStringLiteral("このサーバーに使える認証方式がありません"));
    forgetCapabilities(imap);
    int r = present(how, options);
    // A token may have been revoked, or run out since it was fetched: a new one, once.
    if (r == MAILIMAP_ERROR_LOGIN && options.bearer && options.renewToken && !wire->failed()) {
        options.password = options.renewToken();
        wire->startClock();
        r = present(how, options);
    }
    if (r == MAILIMAP_ERROR_LOGIN && !wire->failed()) {
        const QString said =
            imap->imap_response ? QString::fromUtf8(imap->imap_response).trimmed() : QString();
        throw mailError(mailerr::LoginFailed,
                        redacted(said.isEmpty() ? options.user : said, {options.password}));
    }
    check(r, QStringLiteral("LOGIN"), mailerr::LoginFailed);
}

int ImapClient::present(const SignOn& how, const ServerOptions& options) {
    const std::string user = options.user.toStdString();
    std::string secret = options.password.toStdString();
    std::string response;
    int r = MAILIMAP_ERROR_LOGIN;
    switch (how.mechanism) {
    case Mechanism::Login:
        r = mailimap_login(imap, user.c_str(), secret.c_str());
        break;
    case Mechanism::Plain:
        response = sasl::plain(user, secret);
        r = authenticate("PLAIN", response, how.initialResponse, "*");
        break;
    case Mechanism::XOAuth2:
        r = mailimap_oauth2_authenticate(imap, user.c_str(), secret.c_str());
        break;
    case Mechanism::OAuthBearer:
        response = sasl::oauthBearer(user, endpoint, secret);
        // To the error the server sends as a challenge, the acknowledgement RFC 7628 asks for.
        r = authenticate("OAUTHBEARER", response, how.initialResponse, "AQ==");
        break;
    case Mechanism::None:
        break;
    }
    std::fill(response.begin(), response.end(), '\0');
    std::fill(secret.begin(), secret.end(), '\0');
    return r;
}

int ImapClient::authenticate(const char* mechanism, const std::string& response,
                             bool initialResponse, const char* acknowledgement) {
    if (imap->imap_state != MAILIMAP_STATE_NON_AUTHENTICATED)
        return MAILIMAP_ERROR_BAD_STATE;
    mailstream* stream = imap->imap_stream;
    QByteArray encoded =
        QByteArray::fromRawData(response.data(), qsizetype(response.size())).toBase64();
    const auto sendPrivately = [&](const QByteArray& line, bool tagged) {
        mailstream_set_privacy(stream, 0);
        int r = tagged ? mailimap_send_current_tag(imap) : MAILIMAP_NO_ERROR;
        if (r == MAILIMAP_NO_ERROR &&
            (mailstream_write(stream, line.constData(), size_t(line.size())) != line.size() ||
             mailstream_flush(stream) == -1))
            r = MAILIMAP_ERROR_STREAM;
        mailstream_set_privacy(stream, 1);
        return r;
    };
    QByteArray command = QByteArray("AUTHENTICATE ") + mechanism;
    if (initialResponse)
        command += ' ' + encoded;
    int r = sendPrivately(command + "\r\n", true);
    command.fill('\0');
    const char* next = nullptr;
    if (r == MAILIMAP_NO_ERROR) {
        next = mailimap_read_line(imap);
        // Without an initial response, it goes on the server's go-ahead.
        if (next && next[0] == '+' && !initialResponse) {
            r = sendPrivately(encoded + "\r\n", false);
            next = r == MAILIMAP_NO_ERROR ? mailimap_read_line(imap) : nullptr;
        }
    }
    encoded.fill('\0');
    if (r != MAILIMAP_NO_ERROR)
        return r;
    if (!next)
        return MAILIMAP_ERROR_STREAM;
    // A refusal may come as a challenge first: the acknowledgement lets the server say no.
    if (next[0] == '+') {
        const QByteArray line = QByteArray(acknowledgement) + "\r\n";
        if (mailstream_write(stream, line.constData(), size_t(line.size())) != line.size() ||
            mailstream_flush(stream) == -1)
            return MAILIMAP_ERROR_STREAM;
    }
    mailimap_response* answer = nullptr;
    r = mailimap_parse_response(imap, &answer);
    if (r == MAILIMAP_ERROR_PROTOCOL)
        return MAILIMAP_ERROR_LOGIN; // BAD: the exchange was cancelled
    if (r != MAILIMAP_NO_ERROR)
        return r;
    const mailimap_response_done* done = answer->rsp_resp_done;
    const bool accepted =
        done->rsp_type == MAILIMAP_RESP_DONE_TYPE_TAGGED &&
        done->rsp_data.rsp_tagged->rsp_cond_state->rsp_type == MAILIMAP_RESP_COND_STATE_OK;
    mailimap_response_free(answer);
    if (!accepted)
        return MAILIMAP_ERROR_LOGIN;
    // As libetpan's own sign-on leaves the session.
    imap->imap_state = MAILIMAP_STATE_AUTHENTICATED;
    return MAILIMAP_NO_ERROR;
}

uint32_t ImapClient::openInbox(bool readOnly, int refusedNumber) {
    wire->startClock();
    check(readOnly ? mailimap_examine(imap, "INBOX") : mailimap_select(imap, "INBOX"),
          readOnly ? QStringLiteral("EXAMINE INBOX") : QStringLiteral("SELECT INBOX"),
          refusedNumber);
    return imap->imap_selection_info ? imap->imap_selection_info->sel_uidvalidity : 0;
}

std::vector<uint32_t> ImapClient::search(bool unreadOnly) {
    const Owned<mailimap_search_key, mailimap_search_key_free> key(
        unreadOnly ? searchKey(MAILIMAP_SEARCH_KEY_UNSEEN) : mailimap_search_key_new_all());
    clist* found = nullptr;
    wire->startClock();
    const int r = mailimap_search(imap, nullptr, key.p, &found);
    const Owned<clist, mailimap_search_result_free> result(found);
    check(r, QStringLiteral("SEARCH"), mailerr::Failure);
    std::vector<uint32_t> out;
    for (clistiter* it = found ? clist_begin(found) : nullptr; it; it = clist_next(it))
        out.push_back(*static_cast<uint32_t*>(clist_content(it)));
    return out;
}

std::vector<uint32_t> ImapClient::uidSearch(const std::string& criteria) {
    const std::string command = "UID SEARCH " + criteria;
    wire->startClock();
    const int r = mailimap_custom_command(imap, command.c_str());
    // libetpan keeps the SEARCH response of the last command with the session.
    clist* found = nullptr;
    if (imap->imap_response_info) {
        found = imap->imap_response_info->rsp_search_result;
        imap->imap_response_info->rsp_search_result = nullptr;
    }
    const Owned<clist, mailimap_search_result_free> result(found);
    check(r, QStringLiteral("UID SEARCH"), mailerr::Failure);
    std::vector<uint32_t> out;
    for (clistiter* it = found ? clist_begin(found) : nullptr; it; it = clist_next(it))
        out.push_back(*static_cast<uint32_t*>(clist_content(it)));
    return out;
}

void ImapClient::fetchHeaders(const std::vector<uint32_t>& numbers, bool withFlags,
                              const char* headerFields,
                              const std::function<void(FetchedItems&&)>& each, bool byUid) {
    const Owned<mailimap_fetch_type, mailimap_fetch_type_free> type(
        mailimap_fetch_type_new_fetch_att_list_empty());
    mailimap_fetch_type_new_fetch_att_list_add(type.p, mailimap_fetch_att_new_uid());
    if (withFlags)
        mailimap_fetch_type_new_fetch_att_list_add(type.p, mailimap_fetch_att_new_flags());
    clist* names = clist_new();
    for (const QByteArray& name : QByteArray(headerFields).split(' '))
        clist_append(names, ::strdup(name.constData()));
    mailimap_fetch_type_new_fetch_att_list_add(
        type.p, mailimap_fetch_att_new_body_peek_section(
                    mailimap_section_new_header_fields(mailimap_header_list_new(names))));
    const Owned<mailimap_set, mailimap_set_free> set(setOf(numbers));
    FetchReading reading;
    reading.onMessage = [&each](mailimap_msg_att* att, FetchReading& r) { each(itemsOf(att, r)); };
    clist* result = nullptr;
    int r;
    {
        const FetchHandlers handlers(imap, reading);
        wire->startClock();
        r = byUid ? mailimap_uid_fetch(imap, set.p, type.p, &result)
                  : mailimap_fetch(imap, set.p, type.p, &result);
    }
    const Owned<clist, mailimap_fetch_list_free> answered(result);
    if (reading.failure)
        std::rethrow_exception(reading.failure);
    check(r, byUid ? QStringLiteral("UID FETCH") : QStringLiteral("FETCH"), mailerr::Failure);
}

void ImapClient::fetchOne(uint32_t uid, mailimap_fetch_att* item, bool large,
                          const std::function<void(mailimap_msg_att*, std::string&&, bool)>& each) {
    const Owned<mailimap_fetch_type, mailimap_fetch_type_free> type(
        mailimap_fetch_type_new_fetch_att_list_empty());
    mailimap_fetch_type_new_fetch_att_list_add(type.p, mailimap_fetch_att_new_uid());
    mailimap_fetch_type_new_fetch_att_list_add(type.p, item);
    const Owned<mailimap_set, mailimap_set_free> set(setOf({uid}));
    FetchReading reading;
    reading.reserveForLiteral = large;
    reading.onMessage = [&each](mailimap_msg_att* att, FetchReading& r) {
        each(att, std::move(r.literal), r.literalCame);
    };
    clist* result = nullptr;
    int r;
    {
        const FetchHandlers handlers(imap, reading);
        wire->startClock();
        r = mailimap_uid_fetch(imap, set.p, type.p, &result);
    }
    const Owned<clist, mailimap_fetch_list_free> answered(result);
    if (reading.failure)
        std::rethrow_exception(reading.failure);
    check(r, QStringLiteral("UID FETCH"), mailerr::Failure);
}

std::optional<std::string> ImapClient::fetchMessage(uint32_t uid) {
    return fetchSection(uid, std::string());
}

std::optional<std::string> ImapClient::fetchSection(uint32_t uid, const std::string& section) {
    clist* numbers = clist_new();
    if (!numbers)
        throw mailError(mailerr::Failure, QStringLiteral("mailimap_section"));
    for (const QByteArray& n : QByteArray::fromStdString(section).split('.')) {
        bool ok = false;
        const uint32_t value = n.toUInt(&ok);
        if (section.empty())
            break;
        auto* number = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t)));
        if (!ok || value == 0 || !number || clist_append(numbers, number) < 0) {
            std::free(number);
            for (clistiter* it = clist_begin(numbers); it; it = clist_next(it))
                std::free(clist_content(it));
            clist_free(numbers);
            throw mailError(mailerr::InvalidMessage, QString::fromStdString(section));
        }
        *number = value;
    }
    mailimap_section* part = nullptr;
    if (section.empty()) {
        clist_free(numbers);
        part = mailimap_section_new(nullptr);
    } else {
        part = mailimap_section_new_part(mailimap_section_part_new(numbers));
    }
    std::optional<std::string> found;
    // The server may add news of other messages to the answer.
    fetchOne(uid, mailimap_fetch_att_new_body_peek_section(part), section.empty(),
             [&found, uid](mailimap_msg_att* att, std::string&& literal, bool literalCame) {
                 FetchReading r;
                 r.literal = std::move(literal);
                 r.literalCame = literalCame;
                 FetchedItems items = itemsOf(att, r);
                 if (!found && items.uid == uid && items.hasSection)
                     found = std::move(items.section);
             });
    return found;
}

std::optional<vm::PartOutline> ImapClient::fetchOutline(uint32_t uid) {
    // libetpan reads a structure by recursion as deep as it goes: one deeper than any the
    // outline can use (a part's lists, an envelope's addresses, each level of the answer's
    // own) breaks the connection off instead.
    struct Limit {
        ServerConnection& wire;
        ~Limit() { wire.limitNesting(0); }
    } const limit{*wire};
    wire->limitNesting(4 * vm::kMaxNesting + 16);
    std::optional<vm::PartOutline> found;
    fetchOne(uid, mailimap_fetch_att_new_bodystructure(), false,
             [&found, uid](mailimap_msg_att* att, std::string&&, bool) {
                 const mailimap_body* body = nullptr;
                 uint32_t named = 0;
                 for (clistiter* it = att->att_list ? clist_begin(att->att_list) : nullptr; it;
                      it = clist_next(it)) {
                     const auto* item = static_cast<mailimap_msg_att_item*>(clist_content(it));
                     if (item->att_type != MAILIMAP_MSG_ATT_ITEM_STATIC)
                         continue;
                     const mailimap_msg_att_static* fixed = item->att_data.att_static;
                     if (fixed->att_type == MAILIMAP_MSG_ATT_UID)
                         named = fixed->att_data.att_uid;
                     else if (fixed->att_type == MAILIMAP_MSG_ATT_BODYSTRUCTURE)
                         body = fixed->att_data.att_bodystructure;
                 }
                 if (!found && named == uid && body)
                     found = outlineOf(*body, std::string(), 0);
             });
    return found;
}

void ImapClient::storeSeen(const std::vector<uint32_t>& uids, bool seen) {
    mailimap_flag_list* flags = mailimap_flag_list_new_empty();
    mailimap_flag_list_add(flags, mailimap_flag_new_seen());
    const Owned<mailimap_store_att_flags, mailimap_store_att_flags_free> change(
        seen ? mailimap_store_att_flags_new_add_flags_silent(flags)
             : mailimap_store_att_flags_new_remove_flags_silent(flags));
    const Owned<mailimap_set, mailimap_set_free> set(setOf(uids));
    wire->startClock();
    check(mailimap_uid_store(imap, set.p, change.p), QStringLiteral("UID STORE"), mailerr::Failure);
}

void ImapClient::noop() {
    wire->startClock();
    check(mailimap_noop(imap), QStringLiteral("NOOP"), mailerr::Failure);
}

bool ImapClient::canIdle() {
    if (!knowsCapabilities(imap)) {
        wire->startClock();
        askCapabilities();
    }
    return mailimap_has_idle(imap) != 0;
}

bool ImapClient::offersCapability(const char* name) {
    if (!knowsCapabilities(imap)) {
        wire->startClock();
        askCapabilities();
    }
    return has(imap, name);
}

void ImapClient::sendCommand(const char* command) {
    mailstream* stream = imap->imap_stream;
    const size_t length = std::strlen(command);
    if (!stream || mailimap_send_current_tag(imap) != MAILIMAP_NO_ERROR ||
        mailstream_write(stream, command, length) != ssize_t(length) ||
        mailstream_write(stream, "\r\n", 2) != 2 || mailstream_flush(stream) == -1)
        throw wire->lost(QString::fromLatin1(command));
}

void ImapClient::logout() {
    if (!imap->imap_stream || wire->failed()) {
        hangUp();
        return;
    }
    wire->startClock();
    mailimap_logout(imap); // it closes the stream, whatever the answer
    hangUp();
}

} // namespace kelvo
