// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "app/ClockText.h"

QString clockText(QTime time)
{
    const int hour24 = time.hour();
    const int minute = time.minute();
    const int hour12 = hour24 % 12 == 0 ? 12 : hour24 % 12;
    char16_t buffer[8];
    int n = 0;
    if (hour12 >= 10)
        buffer[n++] = u'1';
    buffer[n++] = char16_t(u'0' + hour12 % 10);
    buffer[n++] = u':';
    buffer[n++] = char16_t(u'0' + minute / 10);
    buffer[n++] = char16_t(u'0' + minute % 10);
    buffer[n++] = u' ';
    buffer[n++] = hour24 < 12 ? u'A' : u'P';
    buffer[n++] = u'M';
    return QString(reinterpret_cast<const QChar *>(buffer), n);
}
