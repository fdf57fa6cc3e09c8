// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "base/DueMinute.h"

#include "base/ClockText.h"

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
            t[m] = clockText(QTime(m / 60, m % 60));
        return t;
    }();
    return texts;
}

int localOffsetAt(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs).offsetFromUtc();
}

} // namespace

std::optional<QDateTime> nextDueMinute(const QDateTime &now, const QStringList &armedCaptions,
                                       const QString &snoozeText)
{
    // Nothing armed is the program's start: no table of clock texts for it.
    if (armedCaptions.isEmpty() && snoozeText.isEmpty())
        return std::nullopt;
    const QDateTime local = now.toLocalTime();
    // The display turns only at minute starts, so the current minute is past.
    const qint64 minuteStart = local.toSecsSinceEpoch() - local.time().second();
    // Three days, so that a minute skipped tomorrow still finds the day after.
    constexpr int days = 3;
    // The offsets from UTC in force over those days, sampled daily: a zone
    // keeps each offset for far longer than that.
    QList<int> offsets;
    for (int day = -1; day <= days; ++day) {
        const int offset = localOffsetAt(minuteStart + day * secsPerDay);
        if (!offsets.contains(offset))
            offsets.append(offset);
    }
    const auto &texts = dayTexts();
    std::optional<qint64> best;
    for (int m = 0; m < minutesPerDay; ++m) {
        const QString &shown = texts[m];
        const bool due = shown == snoozeText
                || std::any_of(armedCaptions.begin(), armedCaptions.end(),
                               [&](const QString &c) { return captionMatches(shown, c); });
        if (!due)
            continue;
        const QTime time(m / 60, m % 60);
        for (int day = 0; day < days; ++day) {
            const QDate date = local.date().addDays(day);
            const qint64 wall = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
            // The clock shows this minute once per offset that maps back to
            // it: never in an hour that summer time skips, twice in an hour
            // that its end repeats.
            bool found = false;
            for (const int offset : offsets) {
                const qint64 instant = wall - offset;
                if (instant <= minuteStart || (best && instant >= *best))
                    continue;
                const QDateTime shownAt = QDateTime::fromSecsSinceEpoch(instant);
                if (shownAt.date() == date && shownAt.time() == time) {
                    best = instant;
                    found = true;
                }
            }
            // A later day only shows it later.
            if (found)
                break;
        }
    }
    if (!best)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(*best);
}
