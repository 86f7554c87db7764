// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A bound on how deeply the multiparts of a received message nest, applied before VMime parses
// it: VMime's parser recurses once per level, so a crafted message of some thousand levels
// overflows the stack, and copies the rest of the message at every level. Private to the mail
// layer.

#include "mail/mime/nesting_limit.h"

#include <optional>
#include <string>
#include <vector>

namespace kelvo::vm {

// The text VMime is to parse for a message: each multipart at the depth limit made an empty
// opaque part (application/octet-stream) and, when leaveContentsOut, the contents of every
// single part left out: VMime copies the whole text of a part, twice, to read its header.
// The parts are found as VMime's parser finds them.
struct Skeleton {
    // Nothing when the text is the message itself.
    std::optional<std::string> text;
    // Contents left out: at that place of the text, the bytes [from, from + length) of the
    // message.
    struct Contents {
        size_t at;
        size_t from;
        size_t length;
    };
    std::vector<Contents> contents;
};
Skeleton skeletonOf(const std::string& raw, bool leaveContentsOut, int limit = kMaxNesting);

} // namespace kelvo::vm
