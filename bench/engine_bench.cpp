// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Composition and splitting of a 1 MB mail, and writing and reading every setting, beside
// plain Qt operations on the same data as references.

#include "common/cp932.h"
#include "engine/engine_context.h"
#include "engine/forward_compose.h"
#include "engine/forward_mail.h"
#include "engine/new_mail_check.h"
#include "engine/session.h"
#include "mail/mapi_messages.h"
#include "mail/mapi_session.h"
#include "mail/memory_backend.h"
#include "quiet_ports.h"
#include "settings/settings_record.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace kelvo::bench {
namespace {

// About 1 MB in CP932: Japanese and ASCII lines, with an empty line now and then.
const QString& megabyteMail() {
    static const QString text = [] {
        QString t;
        qint64 bytes = 0;
        for (int n = 1; bytes < 1'000'000; ++n) {
            const QString line = n % 10 == 0 ? QString()
                                             : QStringLiteral("第%1行　お世話になっております。"
                                                              "Line %1 of a long mail.")
                                                   .arg(n);
            t += line + kCRLF;
            bytes += バイト長(line) + 2;
        }
        return t;
    }();
    return text;
}

// Parts of 500 bytes, as many as a split may make.
constexpr qint64 kPartBytes = 500;
constexpr qint64 kParts = k最大パーツ数 - 1;

void BM_Compose_Lines(benchmark::State& state) {
    const QString& text = megabyteMail();
    for (auto _ : state)
        benchmark::DoNotOptimize(本文行(text));
    state.SetBytesProcessed(state.iterations() * バイト長(text));
}
BENCHMARK(BM_Compose_Lines)->Unit(benchmark::kMillisecond);

void BM_Compose_Split(benchmark::State& state) {
    const QStringList lines = 本文行(megabyteMail());
    for (auto _ : state)
        benchmark::DoNotOptimize(分割(lines, kPartBytes - 60, kPartBytes, kParts, kCRLF));
}
BENCHMARK(BM_Compose_Split)->Unit(benchmark::kMillisecond);

void BM_Compose_Unsplit(benchmark::State& state) {
    const QStringList lines = 本文行(megabyteMail());
    for (auto _ : state)
        benchmark::DoNotOptimize(分割なし本文(lines, false));
}
BENCHMARK(BM_Compose_Unsplit)->Unit(benchmark::kMillisecond);

// The whole forward of the 1 MB mail on the in-memory mail system: state.range(0) is 1 for
// the split into parts, 0 for one mail.
void BM_Forward(benchmark::State& state) {
    SettingsRecord 設定;
    for (const SettingKey& k : settingKeys())
        設定.*k.field = k.firstStart ? QString::fromUtf16(k.firstStart) : QString();
    設定.メールアドレス = QStringLiteral("phone@docomo.ne.jp");
    設定.自動分割フラグ = state.range(0) ? QStringLiteral("0") : QStringLiteral("1");
    設定.分割文字数 = QString::number(kPartBytes / 2);
    設定.最大分割数 = QString::number(kParts);
    RunState 状態;
    quiet::Window window;
    quiet::StillClock clock;
    quiet::Exit exit;
    MemoryMailSystem system;
    MemoryMailBackend backend(system);
    MapiSession mapSess(backend);
    MapiMessages mapMess(mapSess);
    EngineContext ctx{設定, 状態, window, clock, clock, exit, QString()};
    ctx.mapSess = &mapSess;
    ctx.mapMess = &mapMess;
    MailSummary s;
    s.subject = QStringLiteral("長いメール");
    s.origAddress = QStringLiteral("taro@example.jp");
    s.origDisplayName = QStringLiteral("山田太郎");
    s.received = clock.now();
    s.recipients = {MailRecipient{kRecipTo, QStringLiteral("me@example.jp"), QStringLiteral("Me")}};
    system.addMessage(s, megabyteMail());
    状態.チェック開始時刻 = clock.now();
    if (!ログオン(ctx) || !未読メール取得(ctx))
        state.SkipWithError("no session");
    for (auto _ : state) {
        mapMess.setMsgIndex(0);
        if (メール転送(ctx))
            state.SkipWithError("the forward failed");
        state.PauseTiming();
        state.counters["mails"] = static_cast<double>(system.outbox.size());
        system.outbox.clear();
        window.monitor.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Forward)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// References: cutting the text into lines once, and converting it to CP932 once.
void BM_Reference_SplitText(benchmark::State& state) {
    const QString& text = megabyteMail();
    for (auto _ : state)
        benchmark::DoNotOptimize(text.split(kCRLF));
}
BENCHMARK(BM_Reference_SplitText)->Unit(benchmark::kMillisecond);

void BM_Reference_Cp932(benchmark::State& state) {
    const QString& text = megabyteMail();
    for (auto _ : state)
        benchmark::DoNotOptimize(toCp932Lossy(text));
}
BENCHMARK(BM_Reference_Cp932)->Unit(benchmark::kMillisecond);

// Every setting with a value as a user would set it.
SettingsRecord fullRecord(const QString& path) {
    SettingsRecord r;
    for (const SettingKey& k : settingKeys())
        r.*k.field =
            k.firstStart ? QString::fromUtf16(k.firstStart) : QStringLiteral("転送ログ.txt");
    r.メールアドレス = QStringLiteral("phone@docomo.ne.jp");
    for (int p = 1; p <= 10; ++p)
        r.差出人アドレス(p) = QStringLiteral("sender%1@example.jp").arg(p);
    r.件名フィルタ = QStringLiteral("広告");
    r.設定ファイルパス = path;
    return r;
}

// A settings file with every setting, in a folder of its own.
struct SavedSettings {
    QTemporaryDir dir;
    const SettingsRecord record = fullRecord(dir.filePath(QStringLiteral("setting.ini")));
    const bool saved = 設定書込(record);
};

void BM_Settings_WriteAll(benchmark::State& state) {
    const SavedSettings settings;
    for (auto _ : state)
        if (!設定書込(settings.record))
            state.SkipWithError("write failed");
}
BENCHMARK(BM_Settings_WriteAll)->Unit(benchmark::kMillisecond);

void BM_Settings_ReadAll(benchmark::State& state) {
    const SavedSettings settings;
    SettingsRecord read;
    read.設定ファイルパス = settings.record.設定ファイルパス;
    for (auto _ : state) {
        設定読込(read, settings.dir.path());
        benchmark::DoNotOptimize(read);
    }
    if (!settings.saved || !(read == settings.record))
        state.SkipWithError("read back differs");
}
BENCHMARK(BM_Settings_ReadAll)->Unit(benchmark::kMillisecond);

// References: the same file saved whole with QSaveFile, and read whole.
QByteArray fileBytes(const QString& path) {
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

void BM_Reference_SaveFile(benchmark::State& state) {
    const SavedSettings settings;
    const QByteArray bytes = fileBytes(settings.record.設定ファイルパス);
    for (auto _ : state) {
        QSaveFile out(settings.dir.filePath(QStringLiteral("copy.ini")));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_Reference_SaveFile)->Unit(benchmark::kMillisecond);

void BM_Reference_ReadFile(benchmark::State& state) {
    const SavedSettings settings;
    for (auto _ : state)
        benchmark::DoNotOptimize(fromCp932(fileBytes(settings.record.設定ファイルパス)));
}
BENCHMARK(BM_Reference_ReadFile)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kelvo::bench

BENCHMARK_MAIN();
