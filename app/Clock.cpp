// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#include "app/Clock.h"

QDateTime systemNow()
{
    return QDateTime::currentDateTime();
}
