// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzz target: a mail from the phone whose subject is a command ("G", list numbers, "Z") or
// anything else, alone in the Inbox, taken through a whole pass: the command check, the
// forwarding pass, the subject list and the forwarding on request. The input is the subject,
// then optionally a NUL byte and the message's text.

#include "engine/engine_context.h"
#include "engine/subject_list.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/memory_backend.h"
#include "pass_runner.h"
#include "quiet_ports.h"
#include "scratch_folder.h"
#include "settings/ini_file.h"

#include <cstdint>

namespace {

const QString kPhone = QStringLiteral("phone@docomo.ne.jp");

QString listFile() {
    return kelvo::fuzz::scratchFolder() + QStringLiteral("/list.ini");
}

struct Pass {
    kelvo::SettingsRecord 設定;
    kelvo::RunState 状態;
    kelvo::quiet::Window window;
    kelvo::quiet::StillClock clock{QDateTime(QDate(2026, 12, 7), QTime(9, 0))};
    kelvo::quiet::Exit exit;
    kelvo::MemoryMailSystem system;
    kelvo::MemoryMailBackend backend{system};
    kelvo::MapiSession mapSess{backend};
    kelvo::MapiMessages mapMess{mapSess};
    kelvo::EngineContext ctx{設定, 状態, window, clock, clock, exit, listFile()};

    Pass() {
        using namespace kelvo;
        for (const SettingKey& k : settingKeys())
            設定.*k.field = k.firstStart ? QString::fromUtf16(k.firstStart) : QString();
        設定.メールアドレス = kPhone;
        // Short parts, so that forwards on request are split.
        設定.自動分割フラグ = QStringLiteral("0");
        設定.分割文字数 = QStringLiteral("20");
        ctx.mapSess = &mapSess;
        ctx.mapMess = &mapMess;
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The subject list of an earlier "G": the numbers 1 to 3 stand for the one message.
    for (int n = 1; n <= 3; ++n)
        kelvo::INI書込(kelvo::kリストセクション, kelvo::リストキー(n), QStringLiteral("m1"),
                       listFile());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelvo;
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype nul = input.indexOf('\0');
    Pass pass;
    MailSummary s;
    s.id = QStringLiteral("m1");
    s.subject = QString::fromUtf8(nul < 0 ? input : input.left(nul));
    s.origAddress = kPhone;
    s.origDisplayName = kPhone;
    s.received = pass.clock.now();
    s.recipients = {MailRecipient{kRecipTo, QStringLiteral("me@example.jp"), QStringLiteral("Me")}};
    pass.system.addMessage(s, nul < 0 ? QString() : QString::fromUtf8(input.mid(nul + 1)));
    pass.clock.wait(60);
    test::パス実行(pass.ctx);
    return 0;
}
