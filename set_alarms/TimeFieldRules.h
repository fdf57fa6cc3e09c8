// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QStringView>

// The pure parts of the time field rules: what a key may type, when an entry
// is too big, and when the alarms may be applied.
namespace TimeFieldRules {

// The largest hour and minute the fields keep.
inline constexpr int hourLimit = 12;
inline constexpr int minuteLimit = 59;

// The key filter: control codes and digits pass, every other character
// becomes 0 and is dropped.
int filterKey(int keyAscii);

// True for a non-empty text made of the digits 0 to 9 only.
bool isWholeNumber(QStringView text);

// A non-empty text whose number is above the limit. Pasted text that is not a
// whole number counts as above it, so it is corrected like any wrong entry.
bool exceedsLimit(QStringView text, int limit);

// One alarm's two fields as the enabling rule sees them.
struct AlarmFields
{
    QStringView hour;
    int hourMaxLength;
    QStringView minute;
    int minuteMaxLength;
};

bool isCompleteAlarm(const AlarmFields &alarm);
bool isEmptyAlarm(const AlarmFields &alarm);
// Each alarm complete or empty, and at least one complete.
bool applyEnabled(const AlarmFields &alarm1, const AlarmFields &alarm2);

} // namespace TimeFieldRules
