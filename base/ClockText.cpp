// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "base/ClockText.h"

QString clockText(QTime time)
{
    // QTime formats in the C locale, whatever the user's language.
    return time.toString(u"h:mm AP");
}

bool captionMatches(QStringView shown, QStringView caption)
{
    return shown.left(5) == caption.left(5) && shown.right(2) == caption.right(2);
}
