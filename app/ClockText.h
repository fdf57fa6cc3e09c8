// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QTime>

// "h:mm AM" / "h:mm PM": hour 1 to 12 without a leading zero, two-digit
// minute. The program's texts are fixed, so the user's locale plays no part.
QString clockText(QTime time);
