// SPDX-FileCopyrightText: 2026 The Kelvo developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engine/schedule.h"

#include "settings/time_of_day.h"

#include <algorithm>
#include <cmath>

namespace kelvo {
namespace {

constexpr int kDaysInWeek = 7;

// Qt counts Monday as 1 and Sunday as 7; the day flags count Sunday as 0.
int 曜日番号(const QDate& date) {
    return date.dayOfWeek() % kDaysInWeek;
}

} // namespace

void WeeklySchedule::曜日フラグ作成(const SettingsRecord& 設定) {
    const QString* days[kDaysInWeek] = {
        &設定.スケジュール日, &設定.スケジュール月, &設定.スケジュール火, &設定.スケジュール水,
        &設定.スケジュール木, &設定.スケジュール金, &設定.スケジュール土,
    };
    for (int d = 0; d < kDaysInWeek; ++d)
        曜日フラグ[d] = isOn(*days[d]) ? QStringLiteral("1") : QStringLiteral("0");
}

bool WeeklySchedule::時刻設定(const SettingsRecord& 設定) {
    const auto from = 時刻(設定.スケジュール開始時, 設定.スケジュール開始分);
    const auto to = 時刻(設定.スケジュール終了時, 設定.スケジュール終了分);
    if (!from || !to)
        return false;
    開始時刻値 = *from;
    終了時刻値 = *to;
    return true;
}

qint64 WeeklySchedule::秒(const QDate& date, const QTime& time) const {
    const QDateTime stamp(date, time);
    return stamp > 開始 ? 開始.secsTo(stamp) : 0;
}

WeeklySchedule::Entry WeeklySchedule::項目(const QDate& date) const {
    return {date, date, 秒(date, 開始時刻値), 秒(date, 終了時刻値)};
}

void WeeklySchedule::スケジュール作成(const SettingsRecord& 設定, const QDateTime& 開始時刻) {
    開始 = 開始時刻;
    表.clear();
    次開始 = 1;
    終了 = 1;
    if (!時刻設定(設定))
        return;
    const QDate first = 開始.date();
    for (int k = 0; k < kDaysInWeek; ++k) {
        const QDate date = first.addDays(k);
        if (isOn(曜日フラグ[曜日番号(date)]))
            表.push_back(項目(date));
    }
}

void WeeklySchedule::スケジュール再作成(const SettingsRecord& 設定) {
    const QDateTime now = 時計.now();
    if (!開始.isValid())
        開始 = now;
    表.clear();
    次開始 = 1;
    終了 = 1;
    if (!時刻設定(設定))
        return;
    for (int k = 0; k < kDaysInWeek; ++k) {
        QDate date = now.date().addDays(k);
        if (!isOn(曜日フラグ[曜日番号(date)]))
            continue;
        // Over means both of its moments have passed, whichever of the two comes later.
        const QDateTime last = std::max(QDateTime(date, 開始時刻値), QDateTime(date, 終了時刻値));
        if (last <= now)
            date = date.addDays(kDaysInWeek);
        表.push_back(項目(date));
    }
    std::stable_sort(表.begin(), 表.end(),
                     [](const Entry& a, const Entry& b) { return a.開始日 < b.開始日; });
}

qint64 WeeklySchedule::次週へ(QDate& date, const QTime& time, qint64 経過) const {
    do
        date = date.addDays(kDaysInWeek);
    while (秒(date, time) < 経過);
    return 秒(date, time);
}

bool WeeklySchedule::見逃し(const Entry& e, qint64 経過) const {
    const QDateTime from(e.開始日, 開始時刻値);
    const QDateTime to(e.開始日, 終了時刻値);
    // Only a real window that ended after the start: one already over when the table was
    // built still opens once, and one whose end comes before its start opens and closes.
    return to > from && to > 開始 && 開始.secsTo(to) < 経過;
}

bool WeeklySchedule::見逃しを飛ばす(qint64 経過) {
    bool skipped = false;
    for (Entry& e : 表) {
        if (!見逃し(e, 経過))
            continue;
        次週へ(e.開始日, 終了時刻値, 経過);
        e.終了日 = e.開始日;
        e.開始秒 = 秒(e.開始日, 開始時刻値);
        e.終了秒 = 秒(e.終了日, 終了時刻値);
        skipped = true;
    }
    return skipped;
}

int WeeklySchedule::最も早い番号() const {
    const auto first = std::min_element(
        表.begin(), 表.end(), [](const Entry& a, const Entry& b) { return a.開始秒 < b.開始秒; });
    return first == 表.end() ? 1 : static_cast<int>(first - 表.begin()) + 1;
}

void WeeklySchedule::スケジュール状態更新(QString& 状態) {
    const qint64 経過 = 経過秒();
    if (状態 == kスケジュール停止中) {
        // Windows passed over while the cycle was held leave the weekly order behind them;
        // the soonest window is awaited next.
        if (見逃しを飛ばす(経過)) {
            次開始 = 最も早い番号();
            終了 = 次開始;
        }
        for (int i = 1; i <= 件数(); ++i) {
            Entry& e = 表[i - 1];
            if (e.開始秒 >= 経過)
                continue;
            状態 = kスケジュール稼動中;
            e.開始秒 = 次週へ(e.開始日, 開始時刻値, 経過);
            次開始 = 次の番号(i);
            return;
        }
    } else if (状態 == kスケジュール稼動中) {
        if (終了 < 1 || 終了 > 件数())
            return;
        Entry& e = 表[終了 - 1];
        if (e.終了秒 < 経過) {
            状態 = kスケジュール停止中;
            e.終了秒 = 次週へ(e.終了日, 終了時刻値, 経過);
            終了 = 次の番号(終了);
        }
    }
}

qint64 WeeklySchedule::開始秒(int i) const {
    return i >= 1 && i <= 件数() ? 表[i - 1].開始秒 : 0;
}

qint64 WeeklySchedule::終了秒(int i) const {
    return i >= 1 && i <= 件数() ? 表[i - 1].終了秒 : 0;
}

std::optional<qint64> WeeklySchedule::次の開始秒() const {
    if (次開始 < 1 || 次開始 > 件数())
        return std::nullopt;
    return 表[次開始 - 1].開始秒;
}

std::optional<qint64> WeeklySchedule::次の変わり目ms(const QString& 状態) const {
    std::optional<qint64> 境界; // the state changes once the elapsed seconds exceed it
    if (状態 == kスケジュール停止中) {
        for (const Entry& e : 表)
            境界 = std::min(境界.value_or(e.開始秒), e.開始秒);
    } else if (状態 == kスケジュール稼動中 && 終了 >= 1 && 終了 <= 件数()) {
        境界 = 表[終了 - 1].終了秒;
    }
    if (!境界 || !開始.isValid())
        return std::nullopt;
    // Counted from the start's whole second, the moment is never later than the one the elapsed
    // seconds reach, however they round.
    const qint64 startMs = 開始.toMSecsSinceEpoch();
    const qint64 first = startMs - startMs % 1000 + (*境界 + 1) * 1000;
    return first - 時計.now().toMSecsSinceEpoch();
}

qint64 WeeklySchedule::経過秒() const {
    return 開始.isValid() ? 開始.secsTo(時計.now()) : 0;
}

QString 時間表示(double 秒) {
    if (std::isnan(秒) || 秒 < 0)
        return QString();
    const qint64 x = std::llround(秒);
    const qint64 days = x / 86400;
    qint64 r = x % 86400;
    const qint64 hours = r / 3600;
    r %= 3600;
    const qint64 minutes = r / 60;
    const qint64 seconds = r % 60;
    QString text;
    if (days != 0)
        text += QString::number(days) + u'日';
    if (days != 0 || hours != 0)
        text += QString::number(hours) + QStringLiteral("時間");
    return text + QString::number(minutes) + u'分' + QString::number(seconds) + u'秒';
}

} // namespace kelvo
