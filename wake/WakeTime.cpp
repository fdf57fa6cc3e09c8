// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "wake/WakeTime.h"

#include <QList>
#include <QTime>

#include <algorithm>
#include <array>

namespace {

constexpr int minutesPerDay = 24 * 60;
constexpr qint64 secsPerDay = 24 * 60 * 60;

// The clock text of every minute of the day, made once: the search compares
// texts exactly as the display shows them.
const std::array<QString, minutesPerDay> &dayTexts()
{
    static const auto texts = [] {
        std::array<QString, minutesPerDay> t;
        for (int m = 0; m < minutesPerDay; ++m)
            t[m] = QTime(m / 60, m % 60).toString(u"h:mm AP");
        return t;
    }();
    return texts;
}

bool captionMatches(QStringView shown, QStringView caption)
{
    return shown.left(5) == caption.left(5) && shown.right(2) == caption.right(2);
}

int localOffsetAt(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs).offsetFromUtc();
}

// Every instant at which the local clock shows `time` on `date`: none in an
// hour that summer time skips, two in an hour that its end repeats.
void showings(QDate date, QTime time, QList<qint64> &out)
{
    const qint64 wall = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    // A zone changes its offset at most once around a date, so the offsets a
    // day either side and at the time itself are all it can have then.
    for (const qint64 probe : {wall - secsPerDay, wall, wall + secsPerDay}) {
        const qint64 instant = wall - localOffsetAt(probe);
        const QDateTime shown = QDateTime::fromSecsSinceEpoch(instant);
        if (shown.date() == date && shown.time() == time && !out.contains(instant))
            out.append(instant);
    }
}

} // namespace

std::optional<QDateTime> WakeTime::next(const QDateTime &now, const QStringList &armedCaptions,
                                        const QString &snoozeText)
{
    const QDateTime local = now.toLocalTime();
    // The display turns only at minute starts, so the current minute is past.
    const qint64 minuteStart = local.toSecsSinceEpoch() - local.time().second();
    const auto &texts = dayTexts();
    std::optional<qint64> best;
    for (int m = 0; m < minutesPerDay; ++m) {
        const QString &shown = texts[m];
        const bool due = shown == snoozeText
                || std::any_of(armedCaptions.begin(), armedCaptions.end(),
                               [&](const QString &c) { return captionMatches(shown, c); });
        if (!due)
            continue;
        // Three days, so that a minute skipped tomorrow still finds the day after.
        QList<qint64> instants;
        for (int day = 0; day < 3; ++day)
            showings(local.date().addDays(day), QTime(m / 60, m % 60), instants);
        for (const qint64 instant : instants) {
            if (instant > minuteStart && (!best || instant < *best))
                best = instant;
        }
    }
    if (!best)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(*best);
}
