// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>
#include <QTime>

// "h:mm AM" / "h:mm PM": hour 1 to 12 without a leading zero, two-digit
// minute. The program's texts are fixed, so the user's locale plays no part.
QString clockText(QTime time);

// Whether an alarm caption is due while the clock shows `shown`: the first
// five and the last two characters agree, exactly. The characters between
// are not compared, so "7:05 AM" and "7:05 xAM" both ring at 7:05 AM, while
// "07:05 AM" and "7:5 AM" never ring.
bool captionMatches(QStringView shown, QStringView caption);
