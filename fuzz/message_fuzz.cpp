// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzz target: a received message as raw bytes, read as a fetch reads it (sender, subject,
// recipients, received time, attachments) and as a forward reads its text (MIME parts,
// charsets, encoded words, HTML). Reading the header must never fail: a message whose
// header could not be read would stop every fetch of the Inbox. Reading the text may fail
// with an error, which the forward of that one message reports.

#include "engine/forward_compose.h"
#include "engine/forward_text.h"
#include "mail/mime/message_reader.h"
#include "mail/mime/plain_header.h"
#include "mail/mime/vmime_text.h"

#include <QGuiApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

template <typename Work> void mustNotThrow(const char* what, Work&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s failed: %s\n", what, e.what());
        std::abort();
    } catch (...) {
        std::fprintf(stderr, "%s failed\n", what);
        std::abort();
    }
}

// The quick reader of plain headers must read what the full parse reads, or leave it to it.
// What decides a command (the sender, the subject, the Authentication-Results fields, a second
// From or Subject) is the same whether the header was fetched alone or read with its message.
void comparePlainHeader(const std::string& raw, const kelvo::MailSummary& whole) {
    using namespace kelvo;
    const size_t blank = raw.find("\r\n\r\n");
    const std::string head = blank == std::string::npos ? raw : raw.substr(0, blank + 4);
    const QDateTime fallback(QDate(2026, 1, 1), QTime(9, 0));
    MailSummary full, quick;
    vm::readHeader(*vm::parseHeader(head), fallback, full);
    if (full.repeatedFromOrSubject != whole.repeatedFromOrSubject ||
        full.authenticationResults != whole.authenticationResults) {
        std::fprintf(stderr, "header read alone differently: [%s]\n",
                     qPrintable(full.authenticationResults.join(u'|')));
        std::abort();
    }
    if (vm::readPlainHeader(head, fallback, quick) && !(full == quick)) {
        std::fprintf(stderr, "plain header read differently: [%s] [%s]\n",
                     qPrintable(full.origDisplayName + u'|' + full.subject),
                     qPrintable(quick.origDisplayName + u'|' + quick.subject));
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // HTML texts are converted through a text document, which needs a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    kelvo::vm::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelvo;
    const std::string raw(reinterpret_cast<const char*>(data), size);
    vmime::shared_ptr<vmime::message> message;
    MailSummary summary;
    mustNotThrow("parse", [&] { message = vm::parseMessage(raw); });
    mustNotThrow("header", [&] {
        vm::readHeader(*message->getHeader(), QDateTime(QDate(2026, 1, 1), QTime(9, 0)), summary);
        summary.attachmentCount = static_cast<int>(vm::attachmentParts(*message).size());
        一行化(summary.subject);
        受信日時(summary.received);
    });
    mustNotThrow("plain header", [&] { comparePlainHeader(raw, summary); });
    try {
        本文行(vm::noteText(*message));
    } catch (...) {
        // One message that cannot be read: its forward reports it.
    }
    return 0;
}
