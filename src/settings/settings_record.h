// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <array>
#include <span>

namespace kelvo {

// Every setting of setting.ini, one text field per key, named as the key. Flags hold "1" or
// "0"; numbers hold the digits as typed.
struct SettingsRecord {
    // 携帯電話の設定
    QString メールアドレス;
    QString 端末1行文字数;
    QString リスト取得数;
    QString 端末電源OFF;
    QString 端末プログラム実行;
    QString プログラム名;
    // 基本設定
    QString 自動分割フラグ;
    QString 最大分割数;
    QString 分割文字数;
    QString メールチェック間隔;
    QString 同時接続フラグ;
    // 転送メールの内容
    QString 差出人フラグ;
    QString 宛先フラグ;
    QString CCフラグ;
    QString 改行フラグ;
    QString 添付フラグ;
    // 転送ルール
    QString アドレス帳フィルタ;
    QString アドレス帳モード;
    QString 差出人フィルタ;
    QString 差出人モード;
    QString 差出人フィルタ1;
    QString 差出人フィルタ2;
    QString 差出人フィルタ3;
    QString 差出人フィルタ4;
    QString 差出人フィルタ5;
    QString 差出人フィルタ6;
    QString 差出人フィルタ7;
    QString 差出人フィルタ8;
    QString 差出人フィルタ9;
    QString 差出人フィルタ10;
    QString 件名フィルタ;
    // マルチアカウント
    QString アカウントフィルタ;
    QString アカウント1;
    QString アカウント2;
    QString アカウント3;
    QString 宛先1;
    QString 宛先2;
    QString 宛先3;
    QString 転送1;
    QString 転送2;
    QString 転送3;
    // その他
    QString プロファイル名;
    QString プロファイル使用フラグ;
    QString 自動終了フラグ;
    QString スケジュールフラグ;
    QString スケジュール開始時;
    QString スケジュール開始分;
    QString スケジュール終了時;
    QString スケジュール終了分;
    QString スケジュール日;
    QString スケジュール月;
    QString スケジュール火;
    QString スケジュール水;
    QString スケジュール木;
    QString スケジュール金;
    QString スケジュール土;
    QString 電源OFFフラグ;
    QString 切断時間;
    QString ログ出力フラグ;
    QString ログファイルパス;
    QString ダイヤルアップフラグ;

    // Not stored in the file: where the file is.
    QString 設定ファイルパス;

    // The ten sender addresses as a list, position 1 to 10.
    QString& 差出人アドレス(int position);
    const QString& 差出人アドレス(int position) const;

    bool operator==(const SettingsRecord&) const = default;
};

// One key of setting.ini: where it lives, its values for a new file and for a missing key.
struct SettingKey {
    const char16_t* section;
    const char16_t* key;
    const char16_t* firstStart; // nullptr: the default log path
    const char16_t* ifMissing;  // nullptr: the default log path
    QString SettingsRecord::*field;
};

// The 61 keys in file order (the order of a new file).
std::span<const SettingKey> settingKeys();

// The default log path: the program directory followed by "/転送ログ.txt".
QString 既定ログファイルパス(const QString& programDirectory);

// A flag is on only when its text is exactly "1".
inline bool isOn(const QString& flag) { return flag == QLatin1String("1"); }

// The decimal number at the start of the text; 0 when there is none. Blanks before the
// digits and a sign are taken as the original's numeric conversion takes them.
double 数値(const QString& text);

// Writes a new setting.ini with the first-start values. Returns false with a reason when the
// file could not be written.
bool 初期設定ファイル作成(const QString& path, const QString& programDirectory,
                         QString* error = nullptr);

// Sets every field from the file; a missing file, section or key gives the if-missing value.
// When some line of the file is text in no code page Kelvo reads, problem (if given) names
// the file and the lines; otherwise it is left empty.
void 設定読込(SettingsRecord& record, const QString& programDirectory, QString* problem = nullptr);

// Writes every field into the file at once, keeping every line it does not own. Returns false
// with a reason when the file could not be written; the old file is then untouched.
bool 設定書込(const SettingsRecord& record, QString* error = nullptr);

} // namespace kelvo
