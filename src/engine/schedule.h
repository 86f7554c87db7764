// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/clock.h"
#include "settings/settings_record.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <array>
#include <optional>
#include <vector>

namespace kelvo {

// The two schedule states the forwarding cycle reads.
inline const QString kスケジュール稼動中 = QStringLiteral("稼動中");
inline const QString kスケジュール停止中 = QStringLiteral("停止中");

// One week of forwarding windows, counted in seconds from the cycle's start time.
//
// The table holds one entry per weekday switched on, in the order the windows come, starting
// with the cycle's start day. An entry whose window has already begun when the table is
// built starts at 0 (it opens at once); one already over starts and ends at 0 (it opens and
// closes on the next two turns). Once an entry has opened, its start moves to its own window
// a week later, and once it has closed its end does the same; both indexes go round to the
// first entry after the last one, so the schedule keeps running week after week without
// ever being rebuilt into the past.
class WeeklySchedule {
public:
    explicit WeeklySchedule(const Clock& clock) : 時計(clock) {}

    // "1" for each weekday the schedule applies on, index 0 = Sunday to 6 = Saturday.
    std::array<QString, 7> 曜日フラグ;

    // Fills the day flags from the seven weekday settings.
    void 曜日フラグ作成(const SettingsRecord& 設定);

    // Builds the table for the seven days from the start time's day on, from the day flags
    // and the window times of the settings; both indexes go back to the first entry. Times
    // that make no valid time of day give an empty table, so no window ever opens.
    void スケジュール作成(const SettingsRecord& 設定, const QDateTime& 開始時刻);

    // Builds the table anew for the seven days from today, offsets still counted from the
    // start time of the last build: a window that is already over moves on a week, one that
    // has begun and not ended opens at once. Never yields a start or an end in the past for a
    // window that is over.
    void スケジュール再作成(const SettingsRecord& 設定);

    // One turn's update of the state ("停止中" or "稼動中"): opens the first window whose start
    // has passed, or closes the open window once its end has passed. A window that began and
    // ended entirely between two updates (the cycle was held longer than the window) is
    // passed over without opening.
    void スケジュール状態更新(QString& 状態);

    // The table, 1-based as the cycle addresses it; out of range reads 0.
    int 件数() const { return static_cast<int>(表.size()); }
    int 次開始番号() const { return 次開始; }
    int 終了番号() const { return 終了; }
    qint64 開始秒(int i) const;
    qint64 終了秒(int i) const;

    // The start offset of the window awaited next; nothing when the table has no entry there.
    std::optional<qint64> 次の開始秒() const;
    // Milliseconds from now to the first moment at which スケジュール状態更新 may change the
    // state (at most that long: never after it); nothing when no window can open or close.
    std::optional<qint64> 次の変わり目ms(const QString& 状態) const;

    // Whole seconds from the start time to now.
    qint64 経過秒() const;
    const QDateTime& 開始時刻() const { return 開始; }

private:
    struct Entry {
        QDate 開始日;
        QDate 終了日;
        qint64 開始秒 = 0;
        qint64 終了秒 = 0;
    };

    qint64 秒(const QDate& date, const QTime& time) const;
    Entry 項目(const QDate& date) const;
    qint64 次週へ(QDate& date, const QTime& time, qint64 経過) const;
    int 次の番号(int i) const { return i >= 件数() ? 1 : i + 1; }
    bool 見逃し(const Entry& e, qint64 経過) const;
    bool 見逃しを飛ばす(qint64 経過);
    int 最も早い番号() const;
    bool 時刻設定(const SettingsRecord& 設定);

    const Clock& 時計;
    QDateTime 開始;
    QTime 開始時刻値;
    QTime 終了時刻値;
    std::vector<Entry> 表;
    int 次開始 = 1;
    int 終了 = 1;
};

// A number of seconds as "1日2時間3分4秒": days and hours only when they, or a larger part,
// are not 0; the empty text for a negative number. Rounded to the nearest second.
QString 時間表示(double 秒);

} // namespace kelvo
