// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mail/mime/part_outline.h"

#include "mail/mime/message_reader.h"
#include "mail/mime/vmime_text.h"
#include "part_kind.h"

#include <QStringList>
#include <vmime/vmime.hpp>

namespace kelvo::vm {

namespace {

bool knownEncoding(const std::string& e) {
    return e == "7bit" || e == "8bit" || e == "binary" || e == "base64" || e == "quoted-printable";
}

PartKind kindOf(const PartOutline& p, const Place& place) {
    PartKind k;
    k.type = QString::fromStdString(p.type);
    k.subtype = QString::fromStdString(p.subtype);
    k.disposition = QString::fromStdString(p.disposition);
    k.named = p.named;
    k.inRelated = place.parent == u"related";
    k.laterInMixed = place.parent == u"mixed" && place.index > 0;
    return k;
}

TextPlan::Piece pieceOf(const PartOutline& p) {
    return TextPlan::Piece{p.section, p.charset, p.encoding};
}

// Walks the parts as the full parse does: false where it cannot be sure to agree.
bool walk(const PartOutline& part, const Place& place, int depth, TextPlan& plan) {
    if (!part.complete)
        return false;
    const PartKind k = kindOf(part, place);
    if (k.type == u"multipart") {
        // A digest's parts default to another type than the full parse gives them.
        if (depth >= kMaxNesting || !part.boundary || k.subtype == u"digest")
            return false;
        for (size_t i = 0; i < part.children.size(); ++i) {
            const PartOutline& child = part.children[i];
            const Place at{k.subtype, i};
            if (!walk(child, at, depth + 1, plan))
                return false;
            // Attachments are counted among the parts of a multipart message only.
            if (child.type != "multipart" && kindOf(child, at).isAttachment())
                ++plan.attachments;
        }
        return true;
    }
    if (!k.isText() || k.isAttachment())
        return true;
    if (!knownEncoding(part.encoding) || part.section.empty())
        return false;
    if (k.subtype == u"plain")
        plan.plain.push_back(pieceOf(part));
    else if (!plan.html)
        plan.html = pieceOf(part);
    return true;
}

QString decoded(const TextPlan::Piece& piece, const std::string& contents) {
    std::string bytes;
    vmime::utility::inputStreamStringAdapter in(contents);
    vmime::utility::outputStreamStringAdapter out(bytes);
    vmime::encoding(piece.encoding).getEncoder()->decode(in, out);
    out.flush();
    return decode(bytes, vmime::charset(piece.charset.value_or("us-ascii")));
}

} // namespace

std::optional<TextPlan> textPlan(const PartOutline& message) {
    TextPlan plan;
    if (!walk(message, Place{}, 0, plan))
        return std::nullopt;
    if (!plan.plain.empty())
        plan.html.reset(); // not read
    return plan;
}

QString planText(const TextPlan& plan, const std::vector<std::string>& plainContents,
                 const std::optional<std::string>& htmlContents) {
    initialize();
    QStringList plain;
    for (size_t i = 0; i < plan.plain.size() && i < plainContents.size(); ++i)
        plain << decoded(plan.plain[i], plainContents[i]);
    std::optional<QString> html;
    if (plan.html && htmlContents)
        html = decoded(*plan.html, *htmlContents);
    return noteTextOf(plain, html);
}

} // namespace kelvo::vm
