// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "auth_results.h"

namespace kelvo {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isLetDig(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
}

bool isControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// A character of a MIME token (RFC 2045); text beyond ASCII is let through (RFC 8616).
bool isTokenChar(QChar c) {
    return !isControl(c) && c != u' ' && !QStringView(u"()<>@,;:\\\"/[]?=").contains(c);
}

// A character of an unquoted property value. Wider than a token: servers write signatures
// and addresses unquoted ("header.b=ab/c+d=", "smtp.mailfrom=a@b.jp").
bool isValueChar(QChar c) {
    return !isControl(c) && c != u' ' && !QStringView(u"();\"\\").contains(c);
}

class Parser {
public:
    explicit Parser(QStringView text) : s(text) {}

    std::optional<AuthenticationResults> parse() {
        AuthenticationResults out;
        if (!skipCfws())
            return std::nullopt;
        const qsizetype start = pos;
        const std::optional<QString> id = peek() == u'"' ? quotedString() : token();
        if (!id || !skipCfws())
            return std::nullopt;
        bool needSeparator = true;
        if (peek() == u'=' || peek() == u'/') {
            // No authserv-id: the field starts with its first result.
            pos = start;
            needSeparator = false;
        } else {
            out.authservId = *id;
            if (digits() && !skipCfws()) // the version
                return std::nullopt;
            if (atEnd())
                return std::nullopt;
        }
        for (;;) {
            if (!skipCfws())
                return std::nullopt;
            if (atEnd())
                break;
            if (needSeparator) {
                if (!eat(u';') || !skipCfws())
                    return std::nullopt;
                if (atEnd() || peek() == u';')
                    continue;
            }
            needSeparator = true;
            std::optional<AuthResult> r = resinfo();
            if (!r)
                return std::nullopt;
            if (!r->result.isEmpty()) // not the "none" of a field without results
                out.results.push_back(std::move(*r));
        }
        return out;
    }

private:
    bool atEnd() const { return pos >= s.size(); }
    QChar peek() const { return atEnd() ? QChar() : s[pos]; }
    bool eat(QChar c) {
        if (atEnd() || s[pos] != c)
            return false;
        ++pos;
        return true;
    }

    // Blanks, line breaks and comments (nested, with quoted pairs). False for a comment
    // that does not end.
    bool skipCfws() {
        for (;;) {
            while (!atEnd() && isBlank(s[pos]))
                ++pos;
            if (peek() != u'(')
                return true;
            int depth = 0;
            do {
                if (atEnd())
                    return false;
                const QChar c = s[pos++];
                if (c == u'\\') {
                    if (atEnd())
                        return false;
                    ++pos;
                } else if (c == u'(') {
                    ++depth;
                } else if (c == u')') {
                    --depth;
                }
            } while (depth > 0);
        }
    }

    std::optional<QString> quotedString() {
        if (!eat(u'"'))
            return std::nullopt;
        QString out;
        while (!atEnd()) {
            const QChar c = s[pos++];
            if (c == u'"')
                return out;
            if (c == u'\\') {
                if (atEnd())
                    break;
                out += s[pos++];
            } else {
                out += c;
            }
        }
        return std::nullopt;
    }

    template <typename Accept> QString run(Accept accept) {
        const qsizetype from = pos;
        while (!atEnd() && accept(s[pos]))
            ++pos;
        return s.mid(from, pos - from).toString();
    }

    std::optional<QString> token() {
        QString t = run(isTokenChar);
        return t.isEmpty() ? std::nullopt : std::optional<QString>(t);
    }

    std::optional<QString> keyword() {
        if (!isLetDig(peek()))
            return std::nullopt;
        return run([](QChar c) { return isLetDig(c) || c == u'-'; }).toLower();
    }

    bool digits() {
        return !run([](QChar c) { return c >= u'0' && c <= u'9'; }).isEmpty();
    }

    // A value, or an address whose local part is quoted ("a b"@example.jp).
    std::optional<QString> propertyValue() {
        if (!skipCfws())
            return std::nullopt;
        if (peek() == u'"') {
            std::optional<QString> v = quotedString();
            if (v && eat(u'@'))
                *v += u'@' + run(isValueChar);
            return v;
        }
        QString v = run(isValueChar);
        return v.isEmpty() ? std::nullopt : std::optional<QString>(v);
    }

    // One result: method[/version]=result, then its reason and properties; up to the next
    // ";" or the end. The lone "none" of a field without results comes back without result.
    std::optional<AuthResult> resinfo() {
        AuthResult r;
        std::optional<QString> method = keyword();
        if (!method || !skipCfws())
            return std::nullopt;
        r.method = *method;
        if (r.method == u"none" && (atEnd() || peek() == u';'))
            return r;
        if (eat(u'/')) {
            if (!skipCfws() || !digits() || !skipCfws())
                return std::nullopt;
        }
        if (!eat(u'=') || !skipCfws())
            return std::nullopt;
        std::optional<QString> result = keyword();
        if (!result)
            return std::nullopt;
        r.result = *result;
        for (;;) {
            if (!skipCfws())
                return std::nullopt;
            if (atEnd() || peek() == u';')
                return r;
            AuthProperty p;
            std::optional<QString> name = keyword();
            if (!name || !skipCfws())
                return std::nullopt;
            if (eat(u'.')) {
                std::optional<QString> property;
                if (!skipCfws() || !(property = keyword()) || !skipCfws())
                    return std::nullopt;
                p.ptype = *name;
                p.property = *property;
            } else {
                p.property = *name; // reason=, and extras some servers add (action=)
            }
            std::optional<QString> value;
            if (!eat(u'=') || !(value = propertyValue()))
                return std::nullopt;
            p.value = *value;
            r.properties.push_back(std::move(p));
        }
    }

    QStringView s;
    qsizetype pos = 0;
};

} // namespace

std::optional<QString> AuthResult::value(QStringView ptype, QStringView property) const {
    for (const AuthProperty& p : properties)
        if (p.ptype == ptype && p.property == property)
            return p.value;
    return std::nullopt;
}

std::optional<AuthenticationResults> parseAuthenticationResults(QStringView value) {
    return Parser(value).parse();
}

} // namespace kelvo
