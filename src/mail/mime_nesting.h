#pragma once

// A bound on how deeply the multiparts of a received message nest, applied before VMime parses
// it: VMime's parser recurses once per level, so a crafted message of some thousand levels
// overflows the stack, and copies the rest of the message at every level. Private to the mail
// layer.

#include <optional>
#include <string>

namespace kelvo::vm {

// Multiparts nested deeper than this are taken as one opaque part, its contents unread.
constexpr int kMaxNesting = 64;

// The message with each multipart at the depth limit made an empty opaque part
// (application/octet-stream); nothing when nothing nests that deeply. The parts are found as
// VMime's parser finds them.
std::optional<std::string> withBoundedNesting(const std::string& raw, int limit = kMaxNesting);

} // namespace kelvo::vm
