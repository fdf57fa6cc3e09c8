// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include "app/Clock.h"

#include <memory>

// A clock the test moves by hand. Copies share one time, so the window's
// copy sees every move.
class TestClock
{
public:
    explicit TestClock(QDateTime start = QDateTime(QDate(2026, 3, 2), QTime(7, 0)))
        : m_now(std::make_shared<QDateTime>(std::move(start)))
    {
    }

    Clock clock() const
    {
        return [now = m_now] { return *now; };
    }
    QDateTime now() const { return *m_now; }
    void set(const QDateTime &t) { *m_now = t; }
    void set(QTime t) { *m_now = QDateTime(m_now->date(), t); }
    void advanceSecs(qint64 secs) { *m_now = m_now->addSecs(secs); }
    void advanceMinutes(int minutes) { advanceSecs(qint64(minutes) * 60); }

private:
    std::shared_ptr<QDateTime> m_now;
};
