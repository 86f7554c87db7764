// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "mime_nesting.h"

#include <algorithm>
#include <string_view>
#include <vector>
#include <vmime/contentTypeField.hpp>
#include <vmime/vmime.hpp>

namespace kelvo::vm {

namespace {

constexpr size_t npos = std::string::npos;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isSpace(char c) {
    return isBlank(c) || c == '\r' || c == '\n';
}

// A part of the message: its header and body lie in [begin, end).
struct Part {
    size_t begin;
    size_t end;
    int depth;
};

// A boundary delimiter as VMime takes one: at the start of a line after "--" (blanks may come
// between), followed by a line break or a dash. Only delimiters that start before end count.
bool nextDelimiter(const std::string& s, const std::string& boundary, size_t pos, size_t end,
                   size_t& start, size_t& after) {
    const std::string_view within(s.data(), std::min(s.size(), end + boundary.size()));
    for (; pos < end; ++pos) {
        pos = within.find(boundary, pos);
        if (pos == npos || pos >= end)
            return false;
        size_t blanks = 0;
        while (blanks < pos && isBlank(s[pos - blanks - 1]))
            ++blanks;
        const size_t dashes = pos - blanks;
        if (dashes < 3 || s.compare(dashes - 3, 3, "\n--") != 0)
            continue;
        const size_t next = pos + boundary.size();
        const char c = next < s.size() ? s[next] : '\0';
        if (c != '\r' && c != '\n' && c != '-')
            continue;
        start = dashes - 3;
        if (start > 0 && s[start - 1] == '\r')
            --start;
        after = next;
        return true;
    }
    return false;
}

// The boundary of a multipart without a boundary parameter: the first delimiter line.
std::string guessedBoundary(const std::string& s, size_t body, size_t end) {
    size_t pos = body;
    if (pos + 2 < end && s.compare(pos, 2, "--") == 0) {
        pos += 2;
    } else {
        pos = s.find("\n--", body);
        if (pos != npos && pos + 3 < end)
            pos += 3;
    }
    if (pos == npos || pos >= end)
        return {};
    const size_t limit = std::min(end, pos + 255);
    while (pos < limit && isSpace(s[pos]))
        ++pos;
    size_t stop = pos;
    while (stop < limit && stop - pos < 100 && s[stop] != '\r' && s[stop] != '\n')
        ++stop;
    if (stop - pos >= 100)
        return {};
    while (stop > pos && isSpace(s[stop - 1]))
        --stop;
    return s.substr(pos, stop - pos);
}

struct Edit {
    size_t begin;
    size_t end;
    std::string text;
    bool contents = false; // the contents of a single part, left out
};

// Reads one part's header; adds its child parts, or an edit that makes it opaque when it is a
// multipart at the limit, or one that leaves its contents out when it is a single part and
// contents go.
void visit(const std::string& s, const Part& part, int limit, bool leaveContentsOut,
           std::vector<Part>& parts, std::vector<Edit>& edits) {
    vmime::header header;
    size_t body = part.begin;
    try {
        header.parse(s, part.begin, part.end, &body);
    } catch (...) {
        return; // VMime's parse fails here too, before it reaches anything below
    }
    const auto field = header.findField<vmime::contentTypeField>(vmime::fields::CONTENT_TYPE);
    if (body >= part.end)
        return;
    if (!field || field->getValue<vmime::mediaType>()->getType() != vmime::mediaTypes::MULTIPART) {
        if (leaveContentsOut)
            edits.push_back(Edit{body, part.end, std::string(), true});
        return;
    }
    if (part.depth >= limit) {
        const size_t from = field->getParsedOffset();
        const size_t to = from + field->getParsedLength();
        std::string text = "Content-Type: application/octet-stream";
        if (s.compare(to - 2, 2, "\r\n") == 0)
            text += "\r\n";
        else if (s[to - 1] == '\n')
            text += '\n';
        edits.push_back(Edit{from, to, text});
        // Its contents go too: every level above would search them for its delimiters, which
        // takes VMime minutes for some megabytes.
        edits.push_back(Edit{body, part.end, std::string()});
        return;
    }
    const std::string boundary =
        field->hasBoundary() ? field->getBoundary() : guessedBoundary(s, body, part.end);
    if (boundary.empty())
        return;
    size_t partStart = body;
    size_t start = 0;
    size_t after = 0;
    bool last = false;
    bool found = nextDelimiter(s, boundary, body, part.end, start, after);
    for (int index = 0; found && !last; ++index) {
        size_t partEnd = start;
        if (after + 1 < part.end && s.compare(after, 2, "--") == 0) {
            last = true;
            after += 2;
        }
        while (after < part.end && isBlank(s[after]))
            ++after;
        if (after + 1 < part.end && s.compare(after, 2, "\r\n") == 0)
            after += 2;
        else if (after < part.end && s[after] == '\n')
            ++after;
        if (index > 0)
            parts.push_back(
                Part{std::min(partStart, partEnd), std::max(partStart, partEnd), part.depth + 1});
        partStart = after;
        found = nextDelimiter(s, boundary, after, part.end, start, after);
    }
    // A missing last delimiter: VMime reads the rest as a part (or as text, which is harmless
    // to look into).
    if (!last)
        parts.push_back(Part{partStart, part.end, part.depth + 1});
}

} // namespace

Skeleton skeletonOf(const std::string& raw, bool leaveContentsOut, int limit) {
    std::vector<Part> parts{Part{0, raw.size(), 0}};
    std::vector<Edit> edits;
    while (!parts.empty()) {
        const Part part = parts.back();
        parts.pop_back();
        visit(raw, part, limit, leaveContentsOut, parts, edits);
    }
    Skeleton out;
    if (edits.empty())
        return out;
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    std::string text;
    size_t pos = 0;
    for (const Edit& e : edits) {
        if (e.begin < pos)
            continue; // inside a part already made opaque
        text.append(raw, pos, e.begin - pos);
        if (e.contents)
            out.contents.push_back(Skeleton::Contents{text.size(), e.begin, e.end - e.begin});
        text += e.text;
        pos = e.end;
    }
    text.append(raw, pos, npos);
    out.text = std::move(text);
    return out;
}

} // namespace kelvo::vm
