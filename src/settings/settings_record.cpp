// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/settings_record.h"

#include "settings/ini_file.h"

#include <QDir>
#include <algorithm>
#include <vector>

namespace kelvo {
namespace {

using R = SettingsRecord;

constexpr const char16_t* k携帯 = u"携帯電話の設定";
constexpr const char16_t* k基本 = u"基本設定";
constexpr const char16_t* k内容 = u"転送メールの内容";
constexpr const char16_t* kルール = u"転送ルール";
constexpr const char16_t* kマルチ = u"マルチアカウント";
constexpr const char16_t* kその他 = u"その他";

const SettingKey kKeys[] = {
    {k携帯, u"メールアドレス", u"", u"", &R::メールアドレス},
    {k携帯, u"端末1行文字数", u"10", u"10", &R::端末1行文字数},
    {k携帯, u"リスト取得数", u"30", u"30", &R::リスト取得数},
    {k携帯, u"端末電源OFF", u"1", u"1", &R::端末電源OFF},
    {k携帯, u"端末プログラム実行", u"0", u"0", &R::端末プログラム実行},
    {k携帯, u"プログラム名", u"", u"", &R::プログラム名},
    {k基本, u"自動分割フラグ", u"1", u"1", &R::自動分割フラグ},
    {k基本, u"最大分割数", u"5", u"7", &R::最大分割数},
    {k基本, u"分割文字数", u"250", u"250", &R::分割文字数},
    {k基本, u"メールチェック間隔", u"30", u"30", &R::メールチェック間隔},
    {k基本, u"同時接続フラグ", u"1", u"1", &R::同時接続フラグ},
    {k内容, u"差出人フラグ", u"1", u"1", &R::差出人フラグ},
    {k内容, u"宛先フラグ", u"0", u"0", &R::宛先フラグ},
    {k内容, u"CCフラグ", u"0", u"0", &R::CCフラグ},
    {k内容, u"改行フラグ", u"1", u"1", &R::改行フラグ},
    {k内容, u"添付フラグ", u"1", u"0", &R::添付フラグ},
    {kルール, u"アドレス帳フィルタ", u"0", u"0", &R::アドレス帳フィルタ},
    {kルール, u"アドレス帳モード", u"1", u"1", &R::アドレス帳モード},
    {kルール, u"差出人フィルタ", u"0", u"0", &R::差出人フィルタ},
    {kルール, u"差出人モード", u"0", u"0", &R::差出人モード},
    {kルール, u"差出人フィルタ1", u"", u"", &R::差出人フィルタ1},
    {kルール, u"差出人フィルタ2", u"", u"", &R::差出人フィルタ2},
    {kルール, u"差出人フィルタ3", u"", u"", &R::差出人フィルタ3},
    {kルール, u"差出人フィルタ4", u"", u"", &R::差出人フィルタ4},
    {kルール, u"差出人フィルタ5", u"", u"", &R::差出人フィルタ5},
    {kルール, u"差出人フィルタ6", u"", u"", &R::差出人フィルタ6},
    {kルール, u"差出人フィルタ7", u"", u"", &R::差出人フィルタ7},
    {kルール, u"差出人フィルタ8", u"", u"", &R::差出人フィルタ8},
    {kルール, u"差出人フィルタ9", u"", u"", &R::差出人フィルタ9},
    {kルール, u"差出人フィルタ10", u"", u"", &R::差出人フィルタ10},
    {kルール, u"件名フィルタ", u"", u"", &R::件名フィルタ},
    {kマルチ, u"アカウントフィルタ", u"0", u"0", &R::アカウントフィルタ},
    {kマルチ, u"アカウント1", u"0", u"0", &R::アカウント1},
    {kマルチ, u"アカウント2", u"0", u"0", &R::アカウント2},
    {kマルチ, u"アカウント3", u"0", u"0", &R::アカウント3},
    {kマルチ, u"宛先1", u"", u"", &R::宛先1},
    {kマルチ, u"宛先2", u"", u"", &R::宛先2},
    {kマルチ, u"宛先3", u"", u"", &R::宛先3},
    {kマルチ, u"転送1", u"", u"", &R::転送1},
    {kマルチ, u"転送2", u"", u"", &R::転送2},
    {kマルチ, u"転送3", u"", u"", &R::転送3},
    {kその他, u"プロファイル名", u"Microsoft Outlook", u"Microsoft Outlook", &R::プロファイル名},
    {kその他, u"プロファイル使用フラグ", u"0", u"0", &R::プロファイル使用フラグ},
    {kその他, u"自動終了フラグ", u"0", u"0", &R::自動終了フラグ},
    {kその他, u"スケジュールフラグ", u"0", u"0", &R::スケジュールフラグ},
    {kその他, u"スケジュール開始時", u"10", u"0", &R::スケジュール開始時},
    {kその他, u"スケジュール開始分", u"00", u"0", &R::スケジュール開始分},
    {kその他, u"スケジュール終了時", u"18", u"0", &R::スケジュール終了時},
    {kその他, u"スケジュール終了分", u"00", u"0", &R::スケジュール終了分},
    {kその他, u"スケジュール日", u"0", u"0", &R::スケジュール日},
    {kその他, u"スケジュール月", u"0", u"0", &R::スケジュール月},
    {kその他, u"スケジュール火", u"0", u"0", &R::スケジュール火},
    {kその他, u"スケジュール水", u"0", u"0", &R::スケジュール水},
    {kその他, u"スケジュール木", u"0", u"0", &R::スケジュール木},
    {kその他, u"スケジュール金", u"0", u"0", &R::スケジュール金},
    {kその他, u"スケジュール土", u"0", u"0", &R::スケジュール土},
    {kその他, u"電源OFFフラグ", u"0", u"0", &R::電源OFFフラグ},
    {kその他, u"切断時間", u"", u"0", &R::切断時間},
    {kその他, u"ログ出力フラグ", u"1", u"1", &R::ログ出力フラグ},
    {kその他, u"ログファイルパス", nullptr, nullptr, &R::ログファイルパス},
    {kその他, u"ダイヤルアップフラグ", u"0", u"0", &R::ダイヤルアップフラグ},
};
static_assert(std::size(kKeys) == 61);

// Keys that a write-all puts first within their section; this order decides where keys land
// when a section has to be created anew.
const char16_t* const kWriteFirst[] = {
    u"自動分割フラグ", u"分割文字数", u"メールチェック間隔", u"最大分割数", u"同時接続フラグ",
    u"宛先フラグ", u"CCフラグ", u"添付フラグ", u"差出人フラグ", u"改行フラグ",
    u"プロファイル使用フラグ", u"プロファイル名",
};

// The keys in write-all order: section by section in file order; within a section the
// listed keys first, then the rest in file order.
std::vector<const SettingKey*> writeOrder() {
    std::vector<const SettingKey*> order;
    for (const SettingKey& k : kKeys)
        order.push_back(&k);
    auto rank = [](const SettingKey* k) -> int {
        for (int i = 0; i < static_cast<int>(std::size(kWriteFirst)); ++i) {
            if (std::u16string_view(kWriteFirst[i]) == k->key)
                return i;
        }
        return static_cast<int>(std::size(kWriteFirst));
    };
    auto sectionIndex = [](const SettingKey* k) {
        return static_cast<int>(std::find_if(std::begin(kKeys), std::end(kKeys),
                                             [&](const SettingKey& x) {
                                                 return std::u16string_view(x.section) ==
                                                        k->section;
                                             }) -
                                std::begin(kKeys));
    };
    std::stable_sort(order.begin(), order.end(), [&](const SettingKey* a, const SettingKey* b) {
        const int sa = sectionIndex(a), sb = sectionIndex(b);
        if (sa != sb)
            return sa < sb;
        return rank(a) < rank(b);
    });
    return order;
}

QString valueOr(const char16_t* v, const QString& logPath) {
    return v ? QString::fromUtf16(v) : logPath;
}

// "path: 3, 7行目の文字を読めません（CP932でもUTF-8でもありません）", the first few lines only.
QString 読めない行の説明(const QString& path, const QList<int>& lines) {
    if (lines.isEmpty())
        return QString();
    constexpr qsizetype kShown = 5;
    QStringList numbers;
    for (qsizetype i = 0; i < lines.size() && i < kShown; ++i)
        numbers << QString::number(lines[i]);
    QString where = numbers.join(QStringLiteral(", ")) + QStringLiteral("行目");
    if (lines.size() > kShown)
        where += QStringLiteral("ほか");
    return QDir::toNativeSeparators(path) + QStringLiteral("：") + where +
           QStringLiteral("の文字を読めません（CP932でもUTF-8でもありません）");
}

} // namespace

std::span<const SettingKey> settingKeys() { return kKeys; }

QString& SettingsRecord::差出人アドレス(int position) {
    static constexpr QString R::*fields[] = {
        &R::差出人フィルタ1, &R::差出人フィルタ2, &R::差出人フィルタ3, &R::差出人フィルタ4,
        &R::差出人フィルタ5, &R::差出人フィルタ6, &R::差出人フィルタ7, &R::差出人フィルタ8,
        &R::差出人フィルタ9, &R::差出人フィルタ10,
    };
    return this->*fields[std::clamp(position, 1, 10) - 1];
}

const QString& SettingsRecord::差出人アドレス(int position) const {
    return const_cast<SettingsRecord*>(this)->差出人アドレス(position);
}

QString 既定ログファイルパス(const QString& programDirectory) {
    return programDirectory + QStringLiteral("/転送ログ.txt");
}

double 数値(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    bool digits = false;
    while (i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9') {
        ++i;
        digits = true;
    }
    if (i < text.size() && text.at(i) == u'.') {
        ++i;
        while (i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9') {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    return text.mid(start, i - start).toDouble();
}

bool 初期設定ファイル作成(const QString& path, const QString& programDirectory, QString* error) {
    IniDocument doc = IniDocument::load(path);
    const QString logPath = 既定ログファイルパス(programDirectory);
    for (const SettingKey& k : kKeys)
        doc.setValue(QString::fromUtf16(k.section), QString::fromUtf16(k.key),
                     valueOr(k.firstStart, logPath));
    return doc.save(path, error);
}

void 設定読込(SettingsRecord& record, const QString& programDirectory, QString* problem) {
    const IniDocument doc = IniDocument::load(record.設定ファイルパス);
    const QString logPath = 既定ログファイルパス(programDirectory);
    for (const SettingKey& k : kKeys)
        record.*k.field = doc.value(QString::fromUtf16(k.section), QString::fromUtf16(k.key),
                                    valueOr(k.ifMissing, logPath));
    if (problem)
        *problem = 読めない行の説明(record.設定ファイルパス, doc.undecodableLines());
}

bool 設定書込(const SettingsRecord& record, QString* error) {
    static const std::vector<const SettingKey*> order = writeOrder();
    IniDocument doc = IniDocument::load(record.設定ファイルパス);
    for (const SettingKey* k : order)
        doc.setValue(QString::fromUtf16(k->section), QString::fromUtf16(k->key), record.*k->field);
    return doc.save(record.設定ファイルパス, error);
}

} // namespace kelvo
