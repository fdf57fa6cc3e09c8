// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "app/Clock.h"

// A clock the test moves by hand; the window's copy sees every move.
struct TestClock
{
    std::shared_ptr<QDateTime> now = std::make_shared<QDateTime>(QDate(2026, 3, 2), QTime(7, 0));
    Clock clock() const
    {
        return [now = now] { return *now; };
    }
};
