// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "app/ClockText.h"

QString clockText(QTime time)
{
    // QTime formats in the C locale, whatever the user's language.
    return time.toString(u"h:mm AP");
}
