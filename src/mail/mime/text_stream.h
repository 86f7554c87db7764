// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A seekable VMime stream over text it owns. Private to the mail layer.

#include <algorithm>
#include <cstring>
#include <string>
#include <vmime/utility/seekableInputStream.hpp>

namespace kelvo::vm {

// A message parsed from a stream reads its parts' contents from that stream for as long as it
// lives; VMime's own string stream would first copy the whole text. This one takes it over.
class TextStream final : public vmime::utility::seekableInputStream {
public:
    explicit TextStream(std::string text) : bytes(std::move(text)) {}
    const std::string& text() const { return bytes; }
    // Gives the text back, leaving the stream empty.
    std::string release() {
        pos = 0;
        return std::move(bytes);
    }

    bool eof() const override { return pos >= bytes.size(); }
    void reset() override { pos = 0; }
    size_t read(vmime::byte_t* const data, const size_t count) override {
        const size_t n = std::min(count, bytes.size() - pos);
        std::memcpy(data, bytes.data() + pos, n);
        pos += n;
        return n;
    }
    size_t skip(const size_t count) override {
        const size_t n = std::min(count, bytes.size() - pos);
        pos += n;
        return n;
    }
    size_t getPosition() const override { return pos; }
    void seek(const size_t to) override { pos = std::min(to, bytes.size()); }

private:
    std::string bytes;
    size_t pos = 0;
};

} // namespace kelvo::vm
