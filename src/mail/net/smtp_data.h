// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vmime/utility/outputStream.hpp>

struct _mailstream;

namespace kelvo {

// A message written onto an SMTP connection after DATA, in pieces, as the server must read
// it: every line ending CR LF (a lone CR or LF made one), a dot that begins a line doubled,
// and the message's last line break left out, as it is part of the end of the data, which
// mailsmtp_data_message of nothing then sends. The bytes are those that function sends for
// the whole message at once, without the message ever being held whole.
class SmtpData final : public vmime::utility::outputStream {
public:
    // Raised by a write that the connection failed.
    struct Lost {};

    explicit SmtpData(_mailstream* stream);
    void flush() override;
    // Writes what is held back, but for the message's last line break.
    void finish();

protected:
    void writeImpl(const vmime::byte_t* data, size_t count) override;

private:
    void lineEnd();
    void send();

    _mailstream* stream;
    std::string out;
    bool lineStart = true; // the next byte begins a line
    bool cr = false;       // a CR came last, and may begin a CR LF
    bool heldEnd = false;  // a line ended, its CR LF not written yet
    bool heldCrLf = false; // ... and it was written as CR LF
};

} // namespace kelvo
