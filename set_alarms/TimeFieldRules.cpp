// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "set_alarms/TimeFieldRules.h"

#include <algorithm>

namespace TimeFieldRules {

int filterKey(int keyAscii)
{
    if (keyAscii < 32)
        return keyAscii;
    if (keyAscii >= '0' && keyAscii <= '9')
        return keyAscii;
    return 0;
}

bool isWholeNumber(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
}

bool exceedsLimit(QStringView text, int limit)
{
    if (text.isEmpty())
        return false;
    if (!isWholeNumber(text))
        return true;
    // Read digit by digit and stop once past the limit, so no length of
    // text can overflow.
    long long number = 0;
    for (QChar c : text) {
        number = number * 10 + (c.unicode() - u'0');
        if (number > limit)
            return true;
    }
    return false;
}

bool isCompleteAlarm(const AlarmFields &alarm)
{
    const bool minuteFull = alarm.minute.size() == alarm.minuteMaxLength;
    // An hour of "1" may still take a second digit, so it is never full.
    const bool hourDone = alarm.hour.size() == alarm.hourMaxLength || alarm.hour == u"1";
    return minuteFull && hourDone;
}

bool isEmptyAlarm(const AlarmFields &alarm)
{
    return alarm.hour.isEmpty() && alarm.minute.isEmpty();
}

bool applyEnabled(const AlarmFields &alarm1, const AlarmFields &alarm2)
{
    const bool complete1 = isCompleteAlarm(alarm1);
    const bool complete2 = isCompleteAlarm(alarm2);
    return (complete1 && (complete2 || isEmptyAlarm(alarm2)))
            || (isEmptyAlarm(alarm1) && complete2);
}

} // namespace TimeFieldRules
