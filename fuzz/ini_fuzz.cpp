// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzz target: setting.ini and list.ini as another program or a damaged disk may leave them.
// Reading never fails, and writing every setting back and reading it again gives the same
// record.

#include "scratch_folder.h"
#include "settings/ini_file.h"
#include "settings/settings_record.h"

#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QString folder() {
    return kelvo::fuzz::scratchFolder();
}

void writeFile(const QString& path, const uint8_t* data, size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
}

QString withoutTrailingBlanks(QString text) {
    while (text.endsWith(u' ') || text.endsWith(u'\t'))
        text.chop(1);
    return text;
}

// Sections and keys the file itself names, a few of each.
void readNamedKeys(const kelvo::IniDocument& doc) {
    QString section;
    int looked = 0;
    for (const QString& line : doc.lines()) {
        if (looked > 16)
            break;
        if (line.startsWith(u'[')) {
            section = line.mid(1, line.indexOf(u']') - 1);
        } else if (const qsizetype eq = line.indexOf(u'='); eq > 0) {
            kelvo::数値(doc.value(section, line.left(eq), QStringLiteral("既定")));
            ++looked;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelvo;
    const QString path = folder() + QStringLiteral("/setting.ini");
    writeFile(path, data, size);

    readNamedKeys(IniDocument::load(path));

    SettingsRecord first;
    first.設定ファイルパス = path;
    設定読込(first, folder());
    for (const SettingKey& k : settingKeys())
        数値(first.*k.field);

    // What was read survives being written back.
    QString error;
    if (!設定書込(first, &error)) {
        std::fprintf(stderr, "write failed: %s\n", qPrintable(error));
        std::abort();
    }
    SettingsRecord again;
    again.設定ファイルパス = path;
    設定読込(again, folder());
    bool same = true;
    for (const SettingKey& k : settingKeys()) {
        // A value is cut to 255 bytes after its blanks are removed, so a cut one may end in
        // blanks, which the next read removes.
        const QString expected = withoutTrailingBlanks(first.*k.field);
        if (again.*k.field != expected) {
            same = false;
            std::fprintf(stderr, "%s: \"%s\" became \"%s\"\n",
                         qPrintable(QString::fromUtf16(k.key)), qPrintable(expected),
                         qPrintable(again.*k.field));
        }
    }
    if (!same)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}
