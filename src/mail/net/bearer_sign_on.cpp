// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "bearer_sign_on.h"

#include "mail/mime/vmime_text.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <regex>
#include <vmime/security/sasl/SASLMechanismFactory.hpp>
#include <vmime/security/sasl/SASLSession.hpp>
#include <vmime/security/sasl/defaultSASLAuthenticator.hpp>

namespace kelvo::vm {

namespace {

namespace sasl = vmime::security::sasl;

constexpr const char* kXoauth2 = "XOAUTH2";
constexpr const char* kOauthBearer = "OAUTHBEARER";

bool isBearerMechanism(const std::string& name) {
    return name == kXoauth2 || name == kOauthBearer;
}

std::string xoauth2Response(const std::string& user, const std::string& token) {
    return "user=" + user + "\x01" + "auth=Bearer " + token + "\x01\x01";
}

// Chooses the mechanisms a sign-on may use, and holds the token and the server's address
// the mechanisms need.
class SignOnAuthenticator final : public sasl::defaultSASLAuthenticator {
public:
    SignOnAuthenticator(bool bearer, std::string token, Endpoint at)
        : bearer(bearer), token(std::move(token)), at(std::move(at)) {}

    const std::vector<vmime::shared_ptr<sasl::SASLMechanism>>
    getAcceptableMechanisms(const std::vector<vmime::shared_ptr<sasl::SASLMechanism>>& available,
                            vmime::shared_ptr<sasl::SASLMechanism> suggested) const override {
        // One mechanism: a secret the server refused by one is refused by the next too, and
        // every refusal counts towards locking the account.
        if (!bearer) { // VMime's own first choice, less the token mechanisms
            for (const auto& m :
                 defaultSASLAuthenticator::getAcceptableMechanisms(available, suggested))
                if (!isBearerMechanism(m->getName()))
                    return {m};
            return {};
        }
        for (const char* name : {kXoauth2, kOauthBearer})
            for (const auto& m : available)
                if (m->getName() == name)
                    return {m};
        return {};
    }
    // Called as a mechanism starts: once it has carried the secret, its refusal is final, so
    // VMime must not fall back to the LOGIN command with the same secret.
    void setSASLMechanism(vmime::shared_ptr<sasl::SASLMechanism> mech) override {
        defaultSASLAuthenticator::setSASLMechanism(mech);
        if (const auto service = getService().lock())
            service->setProperty("options.sasl.fallback", false);
    }
    const vmime::string getAccessToken() const override { return token; }
    const Endpoint& server() const { return at; }

private:
    bool bearer;
    std::string token;
    Endpoint at;
};

// XOAUTH2 or OAUTHBEARER: the token in the initial response. A server that refuses it sends
// an error as a challenge first; the answer to that lets it say no.
class BearerMechanism final : public sasl::SASLMechanism {
public:
    BearerMechanism(vmime::shared_ptr<sasl::SASLContext>, const std::string& name) : name(name) {}

    const std::string getName() const override { return name; }
    bool hasInitialResponse() const override { return true; }
    bool isComplete() const override { return sent; }

    bool step(vmime::shared_ptr<sasl::SASLSession> session, const vmime::byte_t*, const size_t,
              vmime::byte_t** response, size_t* responseLen) override {
        std::string out;
        if (!sent) {
            const auto auth = session->getAuthenticator();
            const std::string user = auth->getUsername();
            const std::string token = auth->getAccessToken();
            const auto* ours = dynamic_cast<const SignOnAuthenticator*>(auth.get());
            out = name == kXoauth2
                      ? xoauth2Response(user, token)
                      : oauthBearerResponse(user, ours ? ours->server() : Endpoint{}, token);
            sent = true;
        } else if (name == kOauthBearer) {
            out = "\x01"; // the acknowledgement RFC 7628 asks for; XOAUTH2's is empty
        }
        copy(out.data(), out.size(), response, responseLen);
        return true;
    }

    // Nothing is wrapped after the sign-on.
    void encode(vmime::shared_ptr<sasl::SASLSession>, const vmime::byte_t* input,
                const size_t inputLen, vmime::byte_t** output, size_t* outputLen) override {
        copy(input, inputLen, output, outputLen);
    }
    void decode(vmime::shared_ptr<sasl::SASLSession>, const vmime::byte_t* input,
                const size_t inputLen, vmime::byte_t** output, size_t* outputLen) override {
        copy(input, inputLen, output, outputLen);
    }

private:
    template <typename Byte>
    static void copy(const Byte* from, size_t size, vmime::byte_t** to, size_t* toSize) {
        *to = new vmime::byte_t[std::max<size_t>(size, 1)];
        std::memcpy(*to, from, size);
        *toSize = size;
    }

    std::string name;
    bool sent = false;
};

void registerMechanisms() {
    static std::once_flag once;
    std::call_once(once, [] {
        auto* factory = sasl::SASLMechanismFactory::getInstance();
        factory->registerMechanism<BearerMechanism>(kXoauth2);
        factory->registerMechanism<BearerMechanism>(kOauthBearer);
    });
}

// A user name inside the GS2 header: "," and "=" escaped (RFC 5801).
std::string saslName(const std::string& user) {
    std::string out;
    for (const char c : user) {
        if (c == ',')
            out += "=2C";
        else if (c == '=')
            out += "=3D";
        else
            out += c;
    }
    return out;
}

} // namespace

std::string oauthBearerResponse(const std::string& user, const Endpoint& at,
                                const std::string& token) {
    std::string out = "n,a=" + saslName(user) + ",\x01";
    if (!at.host.isEmpty())
        out += "host=" + utf8(at.host) + "\x01" + "port=" + std::to_string(at.port) + "\x01";
    return out + "auth=Bearer " + token + "\x01\x01";
}

// VMime tries SASL only where GNU SASL knows one of the mechanisms the server offers (it asks
// GNU SASL for a suggestion first), so a server that offers the token mechanisms and nothing
// else refuses the sign-on. The big providers offer PLAIN or LOGIN beside them.
void setSignOn(vmime::net::service& service, const ServiceOptions& options) {
    registerMechanisms();
    if (options.user.isEmpty() || !options.authenticate)
        return;
    service.setProperty("auth.username", utf8(options.user));
    if (!options.bearer)
        service.setProperty("auth.password", utf8(options.password));
    service.setProperty("options.need-authentication", true);
    service.setProperty("options.sasl", true);
    // Without a usable mechanism VMime would try LOGIN, with whatever it holds as password.
    service.setProperty("options.sasl.fallback", !options.bearer);
    service.setAuthenticator(vmime::make_shared<SignOnAuthenticator>(
        options.bearer, options.bearer ? utf8(options.password) : std::string(),
        endpointOf(options.url)));
}

std::string withoutCredentials(const std::string& line) {
    static const std::regex command(
        "^((?:\\S+ )?(?:(?:AUTHENTICATE|AUTH) \\S+|LOGIN)) .*$", std::regex::icase);
    std::smatch m;
    return std::regex_match(line, m, command) ? m[1].str() + " {credentials}" : line;
}

} // namespace kelvo::vm
