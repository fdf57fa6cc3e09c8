// SPDX-FileCopyrightText: 2026 The Vellwake developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

// Windows: a timer that resumes the computer from sleep when it runs out,
// where the power settings allow wake timers. Closed with the object.
class WaitableTimer
{
public:
    WaitableTimer();
    ~WaitableTimer();
    WaitableTimer(const WaitableTimer &) = delete;
    WaitableTimer &operator=(const WaitableTimer &) = delete;

    // Wakes at the given second since the epoch (UTC), or never. False with
    // the reason where the system cannot.
    bool set(std::optional<long long> epochSecs, std::string &why);

private:
    void *m_handle = nullptr;
};
