// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "app/Clock.h"

#include <memory>

// A clock the test moves by hand; the window's copy sees every move.
class TestClock
{
public:
    Clock clock() const
    {
        return [now = m_now] { return *now; };
    }
    QDateTime now() const { return *m_now; }
    void set(const QDateTime &t) { *m_now = t; }

private:
    std::shared_ptr<QDateTime> m_now = std::make_shared<QDateTime>(QDate(2026, 3, 2), QTime(7, 0));
};
