// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sasl.h"

#include <regex>

namespace kelvo::sasl {

namespace {

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

std::string plain(const std::string& user, const std::string& password) {
    return std::string(1, '\0') + user + '\0' + password;
}

std::string xoauth2(const std::string& user, const std::string& token) {
    return "user=" + user + "\x01" + "auth=Bearer " + token + "\x01\x01";
}

std::string oauthBearer(const std::string& user, const Endpoint& at, const std::string& token) {
    std::string out = "n,a=" + saslName(user) + ",\x01";
    if (!at.host.isEmpty())
        out +=
            "host=" + at.host.toStdString() + "\x01" + "port=" + std::to_string(at.port) + "\x01";
    return out + "auth=Bearer " + token + "\x01\x01";
}

std::string withoutCredentials(const std::string& line) {
    static const std::regex command("^((?:\\S+ )?(?:(?:AUTHENTICATE|AUTH) \\S+|LOGIN)) .*$",
                                    std::regex::icase);
    std::smatch m;
    return std::regex_match(line, m, command) ? m[1].str() + " {credentials}" : line;
}

} // namespace kelvo::sasl
